#pragma once

#include "platform/msgOperator.h"
#include "platform/recOperator.h"

// A recording operator installed for the life of the object; the operator it
// replaced is installed again afterwards.
class scopedRecorder : public recOperator {
public:
    scopedRecorder() : previous(&Operator()) { SetOperator(this); }
    ~scopedRecorder() override { SetOperator(previous); }
    scopedRecorder(const scopedRecorder&) = delete;
    scopedRecorder& operator=(const scopedRecorder&) = delete;

private:
    msgOperator* previous;
};
