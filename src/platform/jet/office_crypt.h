// SPDX-License-Identifier: Apache-2.0
// Office encryption of ACE files (Access 2007 and later, "Encrypt with
// Password"): the encryption structure at 0x299 of page 0 (a u16 length,
// then the EncryptionInfo of [MS-OFFCRYPTO]), the check of a password
// against its verifier, and the page ciphers of the providers Access writes:
//   4.4 agile     AES-CBC under a random key that the password unwraps; a
//                 page's IV is the hash of the key salt and its block key.
//   x.2 standard  AES-ECB under a key derived from the password hash and the
//                 block key, after 50000 hash rounds (none in the variant
//                 whose flags do not name AES).
//   x.2 CryptoAPI RC4 under SHA-1 of the password hash and the block key.
// A page's block key is the database key (0x3E) XOR its page number, four
// bytes little-endian. The hashing and ciphers are OpenSSL's; RC4 is the
// engine's own, which Jet's page encoding already uses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bytes.h"
#include "page_codec.h"

namespace jet {

// `header_page` is page 0 as stored. Checks `password` before anything is
// decoded. Throws kErrBadPassword, kErrCorrupt (a damaged structure),
// kErrUnsupported (an algorithm, key size or provider the format does not
// allow, or one Access does not write).
std::unique_ptr<PageCodec> openOfficeEncryption(Bytes header_page, uint32_t page_key, const std::string& password);

}  // namespace jet
