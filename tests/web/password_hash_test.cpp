// Argon2id hashes: a round trip, a wrong password, and texts that are not
// Argon2id encoded hashes (those never verify and never reach libargon2).
#include "web/PasswordHash.h"

#include <gtest/gtest.h>

namespace kestrane::web {
namespace {

TEST(PasswordHash, RoundTripWithTheDefaultCost) {
    const auto hash = HashPassword("correct horse");
    ASSERT_TRUE(hash);
    EXPECT_EQ(hash->rfind("$argon2id$v=19$m=19456,t=2,p=1$", 0), 0u) << *hash;
    EXPECT_TRUE(IsArgon2idHash(*hash));
    EXPECT_TRUE(VerifyPassword("correct horse", *hash));
    EXPECT_FALSE(VerifyPassword("correct horse ", *hash));
    EXPECT_FALSE(VerifyPassword("", *hash));
    // A fresh salt each time.
    EXPECT_NE(*HashPassword("correct horse"), *hash);
}

TEST(PasswordHash, OnlyArgon2idEncodedHashesAreAccepted) {
    const std::string good = *HashPassword("pw", HashCost{1, 64, 1});
    EXPECT_TRUE(VerifyPassword("pw", good));
    const std::string salt = "$c29tZXNhbHRzb21lc2FsdA$";
    const std::string digest = "MTIzNDU2Nzg5MDEyMzQ1Njc4OTAxMjM0NTY3ODkwMTI";
    for (const std::string& bad :
         {std::string(""), std::string("pw"),
          std::string("$argon2i$v=19$m=64,t=1,p=1") + salt + digest,
          std::string("$argon2id$v=16$m=64,t=1,p=1") + salt + digest,
          std::string("$argon2id$v=19$m=99999999,t=1,p=1") + salt + digest,  // too much memory
          std::string("$argon2id$v=19$m=64,t=0,p=1") + salt + digest,
          std::string("$argon2id$v=19$m=64,t=1,p=1$$") + digest,
          std::string("$2b$12$abcdefghijklmnopqrstuu5e0Aa.dXqU8uY1rF8Tj0A1n5I5uW0rK"), good + "\n",
          good.substr(0, good.size() - 5)}) {
        EXPECT_FALSE(IsArgon2idHash(bad) && VerifyPassword("pw", bad)) << bad;
        EXPECT_FALSE(VerifyPassword("pw", bad)) << bad;
    }
}

}  // namespace
}  // namespace kestrane::web
