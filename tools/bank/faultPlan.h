#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The bank messages of a payment at which a test switch can stand, in the
// order the bank sends them.
enum class faultPoint {
    SIGNATURE,    // BankSignature (2, 1)
    IDENTITY,     // IdentityReceipt (2, 2)
    REQUEST,      // CoinRequest (2, 4)
    RECEIPT,      // BankReceipt (2, 8)
    CONFIRMATION, // BankConfirmation (16, 4)
    CLOSE,        // BankClose (64, 0)
};

// What the bank does at a point instead of sending its message.
enum class faultAction {
    NONE,    // sends it
    ERROR,   // sends a BankError, then closes
    SILENT,  // sends nothing more and keeps the connection open
    DROP,    // closes the connection
    GARBAGE, // sends garbage of the plan's kind
};

// The garbage of --garbage-at.
enum class garbageKind {
    CRC,    // the real frame with both checksums spoiled; the payment goes on
    SEALED, // the message's type and step with data that does not open; goes on
    LENGTH, // a header announcing 2^31 - 1 data bytes, then the connection closes
};

// How the reference bank misbehaves for tests: at most one action per point,
// plus the two switches that falsify a message's content. The plan is fixed
// before the bank starts listening and applies to every payment.
class faultPlan {
public:
    static constexpr int POINTS = 6;

    // "signature" ... "close", or nothing for another name.
    static std::optional<faultPoint> PointNamed(const std::string& name);
    static const char* PointName(faultPoint point);
    static std::optional<garbageKind> GarbageNamed(const std::string& name);
    static const char* GarbageName(garbageKind kind);

    // False when the point has an action already.
    bool Set(faultPoint point, faultAction action);
    faultAction At(faultPoint point) const { return actions[static_cast<std::size_t>(point)]; }
    // True when the real message goes out at the point (no action, or garbage
    // that spoils only the checksums).
    bool Delivers(faultPoint point) const;

    std::string errorText = "Refused by the bank (test switch)";
    std::uint8_t errorStep = 1;
    garbageKind garbage = garbageKind::SEALED;
    bool signOtherText = false;
    bool wrongShopId = false;

private:
    std::array<faultAction, POINTS> actions{};
};
