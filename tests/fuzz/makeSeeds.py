#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (corpus/<target>/) from the
payment vectors, and from frames recorded from a real payment through the shop
when a recording is given (see README.md). Run it again after changing a
target's input layout; it replaces the seeds it makes and leaves other files."""

import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
V = json.load(open(os.path.join(HERE, "..", "vectors", "payment.json")))


def hx(s):
    return bytes.fromhex(s)


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def frame(t, s, data):
    head = bytes([t, s]) + len(data).to_bytes(4, "little")
    return head + crc16(head).to_bytes(2, "big") + data + crc16(data).to_bytes(2, "big")


def conv(name):
    return V[name]


def wire(name, frame_name):
    for f in V[name]:
        if f["name"] == frame_name:
            return hx(f["frame_hex"])
    raise KeyError(frame_name)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def chunk(data):
    if len(data) < 255:
        return bytes([len(data)]) + data
    return bytes([255]) + len(data).to_bytes(2, "little") + data


# --- frame: a byte choosing how the stream ends, four piece sizes, frames ---
def frames_seeds(recorded):
    consumer = b"".join(hx(f["frame_hex"]) for f in conv("consumer_conversation"))
    bank = b"".join(hx(f["frame_hex"]) for f in conv("bank_conversation"))
    errors = b"".join(hx(f["frame_hex"]) for f in conv("error_frames"))
    write("frame", "consumer_whole", bytes([0, 0, 0, 0, 0]) + consumer)
    write("frame", "bank_bytewise", bytes([1, 1, 1, 1, 1]) + bank)
    write("frame", "errors_pieces", bytes([0, 3, 7, 64, 0]) + errors)
    bad_crc = bytearray(wire("consumer_conversation", "KeyCheckReply"))
    bad_crc[7] ^= 0xFF
    bad_crc[-1] ^= 0xFF
    write("frame", "bad_checksums", bytes([0, 5, 0, 0, 0]) + bytes(bad_crc))
    huge = bytes([16, 1]) + (0x7FFFFFFF).to_bytes(4, "little")
    write("frame", "huge_length", bytes([0, 0, 0, 0, 0]) + huge + crc16(huge).to_bytes(2, "big"))
    write("frame", "cut_short", bytes([1, 2, 0, 0, 0]) + consumer[:100])
    for name, data in recorded:
        write("frame", "recorded_" + name, bytes([0, 0, 2, 0, 9]) + data)


# --- session: moves (see sessionRig.cpp) ---
(C_RAW, C_FRAME, C_SEALED, C_KEY_OFFER, B_RAW, B_FRAME, B_SEALED, B_SIGNATURE,
 C_FINISH, B_FINISH, C_RESET, B_RESET) = range(12)

KEY_CHECK = (19980424).to_bytes(4, "little")
SHOP_ID = hx(V["shop_id_hex"])
COINS = hx(V["coin_list_hex"])


def c_sealed(t, s, plain):
    return bytes([C_SEALED, t, s]) + chunk(plain)


def b_sealed(t, s, plain):
    return bytes([B_SEALED, t, s]) + chunk(plain)


def b_frame(t, s, data):
    return bytes([B_FRAME, t, s]) + chunk(data)


KEYS = bytes([C_KEY_OFFER]) + c_sealed(2, 8, KEY_CHECK)
PAY = c_sealed(16, 1, COINS)
BANK_STEPS = [
    bytes([B_SIGNATURE]),
    b_sealed(2, 2, SHOP_ID),
    b_sealed(2, 4, b"coins, please"),
    b_sealed(2, 8, b"receipt"),
    b_sealed(16, 4, (0x12345678).to_bytes(4, "little")),
    b_frame(64, 0, b"\0\0"),
]
FINAL = c_sealed(2, 8, b"thanks")
REFUSAL = b_frame(32, 7, b"Coin spent before\0")


def session_seeds():
    write("session", "payment", KEYS + PAY + b"".join(BANK_STEPS) + FINAL)
    write("session", "leave", KEYS + bytes([C_FRAME, 16, 8]) + chunk(b"bye"))
    write("session", "keys_differ", bytes([C_KEY_OFFER]) + c_sealed(2, 8, b"\1\2\3\4"))
    write("session", "coins_without_check", bytes([C_KEY_OFFER]) + PAY + bytes([C_FINISH]))
    write("session", "bad_coin_list", KEYS + c_sealed(16, 1, b"\x02\0\0\0\x03\xff\xff\0\0"))
    for i in range(len(BANK_STEPS)):
        prefix = KEYS + PAY + b"".join(BANK_STEPS[:i])
        write("session", "refused_%d" % i, prefix + REFUSAL)
        write("session", "bank_ends_%d" % i, prefix + bytes([B_FINISH]))
        write("session", "consumer_ends_%d" % i, prefix + bytes([C_RESET]) + b"".join(BANK_STEPS[i:]))
    write("session", "wrong_signature", KEYS + PAY + b_sealed(2, 1, bytes(range(64))))
    write("session", "wrong_shop_id", KEYS + PAY + BANK_STEPS[0] + b_sealed(2, 2, b"\0\0\0\0"))
    write("session", "bank_garbage", KEYS + PAY + bytes([B_RAW]) + chunk(bytes([2, 1, 0xff, 0xff, 0xff, 0x7f, 0, 0])))
    consumer_wire = b"".join(hx(f["frame_hex"]) for f in conv("consumer_conversation")
                             if f["dir"] == "consumer->shop")
    write("session", "consumer_raw", bytes([C_RAW]) + chunk(consumer_wire))


# --- key files ---
def key_seeds(recorded_keys):
    shop = hx(V["kestpv_rsa_hex"])
    bank = hx(V["bankpub_rsa_hex"])
    write("key_record", "vectors", shop + bank)
    write("key_record", "cut_short", shop + bank[:200])
    for i, (s, b) in enumerate(recorded_keys):
        write("key_record", "keygen_%d" % i, s + b)
    files = chunk(shop) + chunk(bank) + chunk(b"127.0.0.1\n5001\n") + b"0.0.0.0\r\n5002\r\n"
    write("key_folder", "vectors", b"\0" + files)
    write("key_folder", "no_bank_address", b"\x04" + files)


# --- sealed messages: eight key bytes, then a sealed message ---
def sym_key_seeds():
    consumer_key = V["consumer_key_text"].encode()[:8]
    bank_key = V["bank_key_text"].encode()[:8]
    for f in conv("consumer_conversation"):
        if f["type"] in (2, 16) and f["name"] != "CloseNotice":
            write("sym_key", f["name"], consumer_key + hx(f["data_hex"]))
    for f in conv("bank_conversation"):
        if f["type"] in (2, 4, 8, 16):
            write("sym_key", "bank_" + f["name"], bank_key + hx(f["data_hex"]))


# --- RSA blocks ---
def number(key, field):
    return int(key[field], 16)


def sign(key, message):
    block = b"\0\1" + b"\xff" * (64 - 3 - len(message)) + b"\0" + message
    return pow(int.from_bytes(block, "big"), number(key, "d"), number(key, "n")).to_bytes(64, "big")


def rsa_block_seeds():
    write("rsa_block", "key_offer", hx(conv("consumer_conversation")[0]["data_hex"]))
    write("rsa_block", "bank_signature", sign(V["bank_key"], V["bank_key_text"].encode()))
    write("rsa_block", "short_signature", sign(V["bank_key"], b"abc"))


def addr_seeds():
    write("addr_file", "plain", b"127.0.0.1\n5001\n")
    write("addr_file", "crlf_indented", b"\r\n  \t10.0.0.1\r\n   +6000x\r\n")
    write("addr_file", "long_first_line", b"bank.example.org.local\n5001\n")
    write("addr_file", "one_line", b"127.0.0.1")


def log_seeds(recorded_log):
    record = hx(V["log_record"]["record_hex"])
    if recorded_log:
        write("log_reader", "recorded", recorded_log)
    write("log_reader", "one_record", record)
    write("log_reader", "three_records", record * 3)
    write("log_reader", "truncated", record * 2 + record[:10])
    write("log_reader", "damaged", record + b"\x07junk!!" + record)
    long_text = b"x" * 300
    write("log_reader", "long_text", record[:25] + b"\xff" + len(long_text).to_bytes(2, "little") + long_text)


def main():
    recorded = []
    recorded_keys = []
    recorded_log = b""
    # Optional: a folder with real payments recorded by a proxy between the
    # shop and its peers (*.bin: the bytes of one direction of one
    # connection), the kestrane-keygen world they ran in (kestpv.rsa,
    # bankpub.rsa) and the shop's log.kst.
    if len(sys.argv) > 1:
        folder = sys.argv[1]
        for name in sorted(os.listdir(folder)):
            if name.endswith(".bin"):
                recorded.append((name[:-4], open(os.path.join(folder, name), "rb").read()))
        if os.path.exists(os.path.join(folder, "kestpv.rsa")):
            recorded_keys.append((open(os.path.join(folder, "kestpv.rsa"), "rb").read(),
                                  open(os.path.join(folder, "bankpub.rsa"), "rb").read()))
        if os.path.exists(os.path.join(folder, "log.kst")):
            recorded_log = open(os.path.join(folder, "log.kst"), "rb").read()
    frames_seeds(recorded)
    session_seeds()
    key_seeds(recorded_keys)
    sym_key_seeds()
    rsa_block_seeds()
    addr_seeds()
    log_seeds(recorded_log)


if __name__ == "__main__":
    main()
