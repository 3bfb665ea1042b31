#include "platform/procLimits.h"

#include <sys/resource.h>

namespace {

void RaiseSoftLimit(int resource) {
    rlimit limit{};
    if (getrlimit(resource, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(resource, &limit);
    }
}

} // namespace

void procLimits::RaiseForServing() {
    RaiseSoftLimit(RLIMIT_NOFILE);
    RaiseSoftLimit(RLIMIT_NPROC);
}
