#pragma once

// The messages of a session thread. All are posted with both parameters 0.
constexpr unsigned int TM_CONSUMER_DATA = 102;     // a packet can be read from the consumer
constexpr unsigned int TM_END_SESSION = 105;       // the session ends
constexpr unsigned int TM_BANK_DATA = 106;         // a packet can be read from the bank
constexpr unsigned int TM_PAYMENT_CONFIRMED = 107; // the bank has accepted the payment
constexpr unsigned int TM_SEND_AMOUNT = 108;       // tell the bank the amount
