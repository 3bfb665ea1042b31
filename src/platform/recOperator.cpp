#include "platform/recOperator.h"

void recOperator::ShowMessage(const std::string& text) {
    {
        std::lock_guard<std::mutex> guard(lock);
        texts.push_back(text);
    }
    shown.notify_all();
}

std::vector<std::string> recOperator::Texts() const {
    std::lock_guard<std::mutex> guard(lock);
    return texts;
}

bool recOperator::WaitForCount(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> guard(lock);
    return shown.wait_for(guard, limit, [&] { return texts.size() >= count; });
}
