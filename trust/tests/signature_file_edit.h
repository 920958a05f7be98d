#pragma once
// Test helpers that rewrite the embedded signature of a signed PE file, for
// signature shapes osslsigncode cannot make.
#include <cstdint>
#include <string>
#include <vector>

namespace tqn::sigedit {

using Bytes = std::vector<uint8_t>;

bool ReadFileBytes(const std::wstring& path, Bytes& bytes);
bool WriteFileBytes(const std::wstring& path, const Bytes& bytes);

// The PKCS #7 blob of the first entry of the file's certificate table.
bool ExtractSignatureBlob(const Bytes& pe, Bytes& blob);
// Replaces the certificate table with one entry holding blob.
bool ReplaceSignatureBlob(Bytes& pe, const Bytes& blob);

// The PKCS #7 SignedData without its certificate set: the signer certificate
// can then not be found in the signature's own store.
bool StripCertificates(const Bytes& blob, Bytes& stripped);

}  // namespace tqn::sigedit
