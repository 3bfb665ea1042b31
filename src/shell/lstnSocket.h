#pragma once

#include "platform/acptSocket.h"

class CKestraneDoc;

// The shop's listening socket for consumers. Each waiting connection is handed
// to the document, which starts a session for it. Owned by the document and
// bound to the document's listener thread.
class lstnSocket : public acptSocket {
public:
    lstnSocket(CKestraneDoc& owner, msgThread& thread) : acptSocket(thread), doc(&owner) {}

protected:
    void OnAccept(int err) override;

private:
    CKestraneDoc* doc; // not owned
};
