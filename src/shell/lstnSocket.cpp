#include "shell/lstnSocket.h"

#include "shell/CKestraneDoc.h"

void lstnSocket::OnAccept(int) {
    doc->AcceptConsumer();
}
