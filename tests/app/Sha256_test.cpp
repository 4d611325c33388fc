// SHA-256 against the published test vectors and sha256sum's answers, also when the
// message arrives in pieces of every size.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/Sha256.h"

namespace {

std::string Hex(const std::array<uint8_t, 32>& digest) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : digest) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

std::string HashOf(const std::string& message) {
    Sha256 hash;
    hash.Add(message.data(), message.size());
    return Hex(hash.Finish());
}

TEST(Sha256, PublishedVectors) {
    EXPECT_EQ(HashOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HashOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(HashOf(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, MessageLengthsAroundTheBlockEdge) {
    // sha256sum of 55, 56 and 64 bytes of 'x': the padding fits, just does not fit, and a
    // whole block of message.
    EXPECT_EQ(HashOf(std::string(55, 'x')), "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072");
    EXPECT_EQ(HashOf(std::string(56, 'x')), "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e");
    EXPECT_EQ(HashOf(std::string(64, 'x')), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c");
}

TEST(Sha256, PiecesGiveTheSameDigestAsTheWhole) {
    std::string message;
    for (int i = 0; i < 1000; ++i) message += static_cast<char>(i * 7 + 3);
    const std::string whole = HashOf(message);
    for (size_t piece : {size_t(1), size_t(3), size_t(63), size_t(64), size_t(65), size_t(999)}) {
        Sha256 hash;
        hash.Add(nullptr, 0);
        for (size_t at = 0; at < message.size(); at += piece)
            hash.Add(message.data() + at, std::min(piece, message.size() - at));
        EXPECT_EQ(Hex(hash.Finish()), whole) << piece;
    }
}

}  // namespace
