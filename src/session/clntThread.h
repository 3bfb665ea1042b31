#pragma once

#include "platform/msgThread.h"
#include "wire/clntSocket.h"

#include <memory>

class CKestraneDoc;
class drawSurface;

// The thread that serves one consumer connection.
class clntThread : public msgThread {
public:
    clntThread();
    ~clntThread() override;

    CKestraneDoc* doc = nullptr;                // set by the spawner; not owned
    std::unique_ptr<clntSocket> consumerSocket; // made by the constructor
    drawSurface* drawingContext = nullptr;      // set by the spawner; not owned

protected:
    void ExitInstance() override;
    void OnMessage(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) override;
};
