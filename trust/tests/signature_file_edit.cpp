#include "trust/tests/signature_file_edit.h"

#include <windows.h>

#include "platform/scoped_resource.h"

namespace tqn::sigedit {

namespace {

constexpr size_t kSecurityDirectory = 4;

uint32_t Load32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
void Store32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// File offset of the security data directory entry (address, size).
bool SecurityDirectoryAt(const Bytes& pe, size_t& at) {
    if (pe.size() < 0x40) return false;
    const size_t nt = Load32(pe, 0x3C);
    if (nt + 24 + 2 > pe.size()) return false;
    const uint16_t magic = static_cast<uint16_t>(pe[nt + 24] | (pe[nt + 25] << 8));
    const size_t directories = nt + 24 + (magic == 0x20B ? 112 : 96);
    at = directories + kSecurityDirectory * 8;
    return at + 8 <= pe.size();
}

struct Der {
    size_t header = 0;  // tag and length bytes
    size_t length = 0;  // content bytes
};

bool ReadDer(const Bytes& b, size_t at, Der& der) {
    if (at + 2 > b.size()) return false;
    const uint8_t first = b[at + 1];
    if (first < 0x80) {
        der = {2, first};
    } else {
        const size_t count = first & 0x7F;
        if (count == 0 || count > 3 || at + 2 + count > b.size()) return false;
        size_t length = 0;
        for (size_t i = 0; i < count; ++i) length = (length << 8) | b[at + 2 + i];
        der = {2 + count, length};
    }
    return at + der.header + der.length <= b.size();
}

void AppendDer(Bytes& out, uint8_t tag, const Bytes& content) {
    out.push_back(tag);
    const size_t n = content.size();
    if (n < 0x80) {
        out.push_back(static_cast<uint8_t>(n));
    } else if (n <= 0xFF) {
        out.insert(out.end(), {0x81, static_cast<uint8_t>(n)});
    } else if (n <= 0xFFFF) {
        out.insert(out.end(), {0x82, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    } else {
        out.insert(out.end(), {0x83, static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                               static_cast<uint8_t>(n)});
    }
    out.insert(out.end(), content.begin(), content.end());
}

}  // namespace

bool ReadFileBytes(const std::wstring& path, Bytes& bytes) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) return false;
    Bytes data(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) ||
        read != data.size()) {
        return false;
    }
    bytes.swap(data);
    return true;
}

bool WriteFileBytes(const std::wstring& path, const Bytes& bytes) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

bool ExtractSignatureBlob(const Bytes& pe, Bytes& blob) {
    size_t dir = 0;
    if (!SecurityDirectoryAt(pe, dir)) return false;
    const size_t offset = Load32(pe, dir), size = Load32(pe, dir + 4);
    if (offset == 0 || size < 8 || offset + size > pe.size()) return false;
    const size_t length = Load32(pe, offset);
    if (length < 8 || length > size) return false;
    blob.assign(pe.begin() + offset + 8, pe.begin() + offset + length);
    return true;
}

bool ReplaceSignatureBlob(Bytes& pe, const Bytes& blob) {
    size_t dir = 0;
    if (!SecurityDirectoryAt(pe, dir)) return false;
    const size_t offset = Load32(pe, dir);
    if (offset == 0 || offset > pe.size()) return false;
    Bytes entry(8);
    Store32(entry, 0, static_cast<uint32_t>(8 + blob.size()));
    entry[4] = 0x00;  // revision 2.0
    entry[5] = 0x02;
    entry[6] = 0x02;  // PKCS #7 signed data
    entry[7] = 0x00;
    entry.insert(entry.end(), blob.begin(), blob.end());
    while (entry.size() % 8 != 0) entry.push_back(0);
    pe.resize(offset);
    pe.insert(pe.end(), entry.begin(), entry.end());
    Store32(pe, dir + 4, static_cast<uint32_t>(entry.size()));
    return true;
}

bool StripCertificates(const Bytes& blob, Bytes& stripped) {
    // ContentInfo ::= SEQUENCE { contentType OID, [0] EXPLICIT SignedData }
    Der outer, oid, explicitTag, signedData;
    if (!ReadDer(blob, 0, outer) || blob[0] != 0x30) return false;
    const size_t oidAt = outer.header;
    if (!ReadDer(blob, oidAt, oid) || blob[oidAt] != 0x06) return false;
    const size_t tagAt = oidAt + oid.header + oid.length;
    if (!ReadDer(blob, tagAt, explicitTag) || blob[tagAt] != 0xA0) return false;
    const size_t sdAt = tagAt + explicitTag.header;
    if (!ReadDer(blob, sdAt, signedData) || blob[sdAt] != 0x30) return false;

    // Copy SignedData's members, leaving out [0] IMPLICIT certificates.
    Bytes members;
    bool removed = false;
    size_t at = sdAt + signedData.header;
    const size_t end = at + signedData.length;
    while (at < end) {
        Der member;
        if (!ReadDer(blob, at, member)) return false;
        const size_t next = at + member.header + member.length;
        if (blob[at] == 0xA0) {
            removed = true;
        } else {
            members.insert(members.end(), blob.begin() + at, blob.begin() + next);
        }
        at = next;
    }
    if (!removed) return false;

    Bytes sd, tagged, content;
    AppendDer(sd, 0x30, members);
    AppendDer(tagged, 0xA0, sd);
    content.assign(blob.begin() + oidAt, blob.begin() + tagAt);
    content.insert(content.end(), tagged.begin(), tagged.end());
    Bytes result;
    AppendDer(result, 0x30, content);
    stripped.swap(result);
    return true;
}

}  // namespace tqn::sigedit
