#include "core/archive.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#include "core/error_log.h"
#include "core/memory_stream.h"
#include "platform/bytes.h"
#include "platform/paths.h"
#include "platform/read_only_file.h"

namespace {

struct TLesSlot {
    std::string path;     // as the opener gave it; a slot is free while this is empty
    std::string hostPath; // resolved once at opening
    std::vector<TLesEntry> entries;
    // Lower-case name -> index of the first entry of that name, in directory order.
    std::unordered_map<std::string, std::uint32_t> byName;
    // Kept open between entry reads while the slot is among the most recently used ones; reads
    // are positioned, so the loader thread and the main thread may share it.
    std::shared_ptr<plat::ReadOnlyFile> file;
    std::uint64_t fileId = 0; // new for every opening of the file
    std::uint64_t lastUse = 0;
};

// The slot table is touched by the main thread and the loader thread. Each slot belongs to one
// kind of owner, but the lock keeps a lookup and an unrelated open from ever seeing a half-built
// slot; file reads and inflating run outside it.
std::mutex g_SlotsMutex;
std::array<TLesSlot, LES_SLOT_COUNT> g_Slots;
std::uint64_t g_UseClock = 0;
std::uint64_t g_FileIds = 0;
int g_OpenFiles = 0;
// Hundreds of slots may be open in a game; only this many keep their file open.
constexpr int kMaxOpenFiles = 48;

// The deflate format cannot expand more than about 1032:1; a raw size beyond that is a lie and is
// refused before anything is allocated.
constexpr std::uint64_t kMaxInflateRatio = 1100;
constexpr std::uint64_t kInflateSlack = 4096;
constexpr std::uint32_t kMaxRawSize = 0x7FFFFFFF; // the readers take signed 32-bit sizes

// Lower case in code page 1251, the archives' 8-bit names.
unsigned char LowerCp1251(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF))
        return static_cast<unsigned char>(c + 0x20);
    switch (c) {
    case 0x80: return 0x90;
    case 0x81: return 0x83;
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8D: return 0x9D;
    case 0x8E: return 0x9E;
    case 0x8F: return 0x9F;
    case 0xA1: return 0xA2;
    case 0xA3: return 0xBC;
    case 0xA5: return 0xB4;
    case 0xA8: return 0xB8;
    case 0xAA: return 0xBA;
    case 0xAF: return 0xBF;
    case 0xB2: return 0xB3;
    case 0xBD: return 0xBE;
    default: return c;
    }
}

std::uint8_t* AllocateBytes(std::uint64_t size)
{
    // A zero-byte result is still a valid, freeable buffer.
    return new (std::nothrow) std::uint8_t[size ? static_cast<std::size_t>(size) : 1];
}

// Called with g_SlotsMutex held.
void DropFile(TLesSlot& slot)
{
    if (slot.file)
        --g_OpenFiles;
    slot.file.reset();
}

// Called with g_SlotsMutex held: the slot's open file, opened again when it was let go.
std::shared_ptr<plat::ReadOnlyFile> SlotFile(TLesSlot& slot)
{
    slot.lastUse = ++g_UseClock;
    if (slot.file)
        return slot.file;
    auto file = std::make_shared<plat::ReadOnlyFile>();
    if (!file->Open(slot.hostPath))
        return nullptr;
    if (g_OpenFiles >= kMaxOpenFiles) {
        TLesSlot* oldest = nullptr;
        for (TLesSlot& other : g_Slots)
            if (other.file && (!oldest || other.lastUse < oldest->lastUse))
                oldest = &other;
        if (oldest)
            DropFile(*oldest);
    }
    slot.file = file;
    slot.fileId = ++g_FileIds;
    ++g_OpenFiles;
    return file;
}

// Entries are mostly read in directory order, and their bodies lie one after the other, so each
// thread reads a window of the file at once and serves the following entries from it. One per
// thread: the loader thread and the main thread never share it.
constexpr std::size_t kReadAheadBytes = 256 * 1024;
struct TReadAhead {
    std::uint64_t fileId = 0; // 0: empty
    std::uint64_t start = 0;
    std::size_t length = 0;
    std::unique_ptr<std::uint8_t[]> bytes;
    std::vector<std::uint8_t> large; // bodies bigger than the window
};
thread_local TReadAhead t_ReadAhead;
constexpr std::size_t kLargeKeep = 4u << 20;

// The packed body at offset (already checked against the file size), or null on a read error.
const std::uint8_t* PackedBody(const plat::ReadOnlyFile& file, std::uint64_t fileId, std::uint64_t offset,
                               std::uint32_t size)
{
    TReadAhead& ra = t_ReadAhead;
    if (ra.fileId == fileId && offset >= ra.start && offset + size <= ra.start + ra.length)
        return ra.bytes.get() + (offset - ra.start);
    if (size > kReadAheadBytes) {
        if (ra.large.size() > kLargeKeep)
            std::vector<std::uint8_t>().swap(ra.large);
        try {
            ra.large.resize(size);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return file.ReadAt(offset, ra.large.data(), size) ? ra.large.data() : nullptr;
    }
    if (!ra.bytes) {
        ra.bytes.reset(new (std::nothrow) std::uint8_t[kReadAheadBytes]);
        if (!ra.bytes)
            return nullptr;
    }
    ra.fileId = 0;
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kReadAheadBytes, file.Size() - offset));
    if (!file.ReadAt(offset, ra.bytes.get(), length))
        return nullptr;
    ra.fileId = fileId;
    ra.start = offset;
    ra.length = length;
    return ra.bytes.get();
}

} // namespace

bool ini_unpack()
{
    std::lock_guard lock(g_SlotsMutex);
    for (auto& slot : g_Slots)
        slot = TLesSlot{};
    g_OpenFiles = 0;
    return true;
}

bool ParseLesDirectory(std::span<const std::uint8_t> bytes, std::uint64_t fileSize, std::vector<TLesEntry>& entries,
                       const char* pathForLog)
{
    entries.clear();
    const char* where = pathForLog ? pathForLog : "";
    if (bytes.size() < LES_HEADER_SIZE) {
        ReportError2("Archive header too short: ", where);
        return false;
    }
    const std::uint32_t count = plat::ReadU32LE(bytes.data() + 4);
    if (count > LES_MAX_ENTRIES) {
        ReportError2("Archive declares more than 1000 entries: ", where);
        return false;
    }
    const std::uint64_t directoryEnd = LES_HEADER_SIZE + static_cast<std::uint64_t>(count) * LES_ENTRY_SIZE;
    if (directoryEnd > fileSize || directoryEnd > bytes.size()) {
        ReportError2("Archive directory cut short: ", where);
        return false;
    }
    entries.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* p = bytes.data() + LES_HEADER_SIZE + static_cast<std::size_t>(i) * LES_ENTRY_SIZE;
        TLesEntry& e = entries[i];
        std::memcpy(e.name, p, LES_NAME_SIZE);
        // A name that fills all 32 bytes has no end; it is kept empty so that it matches nothing.
        if (!std::memchr(e.name, 0, LES_NAME_SIZE))
            e.name[0] = 0;
        e.name[LES_NAME_SIZE - 1] = 0;
        e.id = plat::ReadU16LE(p + 32);
        e.reserved = plat::ReadU16LE(p + 34);
        e.packedSize = plat::ReadU32LE(p + 36);
        e.rawSize = plat::ReadU32LE(p + 40);
        e.offset = plat::ReadU32LE(p + 44);
    }
    return true;
}

bool Load_LesHeader(std::uint32_t slot, const char* path)
{
    if (slot >= LES_SLOT_COUNT || !path || !*path)
        return false;
    {
        std::lock_guard lock(g_SlotsMutex);
        if (!g_Slots[slot].path.empty())
            return false;
    }
    const std::string host = plat::ResolvePath(path);
    // Read-only, so that an installation the player cannot write to still plays.
    auto file = std::make_shared<plat::ReadOnlyFile>();
    if (!file->Open(host))
        return false;
    std::vector<std::uint8_t> head(LES_HEADER_SIZE);
    if (!file->ReadAt(0, head.data(), head.size())) {
        ReportError2("Archive header too short: ", path);
        return false;
    }
    const std::uint32_t count = plat::ReadU32LE(head.data() + 4);
    const std::uint64_t directoryEnd = LES_HEADER_SIZE + static_cast<std::uint64_t>(count) * LES_ENTRY_SIZE;
    if (count <= LES_MAX_ENTRIES && directoryEnd <= file->Size()) {
        head.resize(static_cast<std::size_t>(directoryEnd));
        if (!file->ReadAt(LES_HEADER_SIZE, head.data() + LES_HEADER_SIZE, head.size() - LES_HEADER_SIZE))
            head.resize(LES_HEADER_SIZE); // the parser reports the short directory
    }
    std::vector<TLesEntry> entries;
    if (!ParseLesDirectory(head, file->Size(), entries, path))
        return false;
    std::unordered_map<std::string, std::uint32_t> byName;
    byName.reserve(entries.size());
    for (std::uint32_t i = 0; i < entries.size(); ++i)
        if (entries[i].name[0])
            byName.emplace(entries[i].name, i); // a later duplicate keeps the first

    std::lock_guard lock(g_SlotsMutex);
    TLesSlot& s = g_Slots[slot];
    if (!s.path.empty())
        return false;
    s.path = path;
    s.hostPath = host;
    s.entries = std::move(entries);
    s.byName = std::move(byName);
    if (g_OpenFiles < kMaxOpenFiles) {
        s.file = std::move(file);
        s.fileId = ++g_FileIds;
        s.lastUse = ++g_UseClock;
        ++g_OpenFiles;
    }
    return true;
}

std::uint8_t* InflateBody(const std::uint8_t* packed, std::uint32_t packedSize, std::uint32_t rawSize,
                          std::uint32_t* outSize)
{
    if (outSize)
        *outSize = 0;
    if (!packed && packedSize)
        return nullptr;
    if (rawSize > kMaxRawSize || rawSize > static_cast<std::uint64_t>(packedSize) * kMaxInflateRatio + kInflateSlack)
        return nullptr;
    std::uint8_t* out = AllocateBytes(rawSize);
    if (!out)
        return nullptr;
    static const Bytef kEmpty = 0;
    uLongf produced = rawSize;
    const int rc = uncompress(out, &produced, packed ? packed : &kEmpty, packedSize);
    if (rc != Z_OK || produced > rawSize) {
        delete[] out;
        return nullptr;
    }
    if (outSize)
        *outSize = static_cast<std::uint32_t>(produced);
    return out;
}

std::uint8_t* LoadLesEntry(std::uint32_t slot, const char* name, std::uint16_t id, std::uint32_t* rawSize)
{
    if (rawSize)
        *rawSize = 0;
    if (slot >= LES_SLOT_COUNT)
        return nullptr;

    char wanted[LES_NAME_SIZE] = {};
    if (name) {
        const std::size_t len = std::strlen(name);
        if (len == 0 || len >= LES_NAME_SIZE) // no stored name is empty or that long
            return nullptr;
        for (std::size_t i = 0; i < len; ++i)
            wanted[i] = static_cast<char>(LowerCp1251(static_cast<unsigned char>(name[i])));
    }

    TLesEntry entry{};
    std::shared_ptr<plat::ReadOnlyFile> file;
    std::uint64_t fileId = 0;
    {
        std::lock_guard lock(g_SlotsMutex);
        TLesSlot& s = g_Slots[slot];
        if (s.path.empty())
            return nullptr;
        const TLesEntry* found = nullptr;
        if (name) {
            const auto it = s.byName.find(wanted);
            if (it != s.byName.end())
                found = &s.entries[it->second];
        } else {
            for (const TLesEntry& e : s.entries) {
                if (e.id == id) {
                    found = &e;
                    break;
                }
            }
        }
        if (!found)
            return nullptr;
        entry = *found;
        file = SlotFile(s);
        fileId = s.fileId;
    }
    if (!file)
        return nullptr;
    if (static_cast<std::uint64_t>(entry.offset) + entry.packedSize > file->Size()) {
        ReportError2("Archive entry lies beyond the end of the file: ", entry.name);
        return nullptr;
    }
    const std::uint8_t* packed = PackedBody(*file, fileId, entry.offset, entry.packedSize);
    if (!packed)
        return nullptr;
    std::uint32_t produced = 0;
    std::uint8_t* out = InflateBody(packed, entry.packedSize, entry.rawSize, &produced);
    if (!out) {
        ReportError2("Archive entry does not inflate: ", entry.name);
        return nullptr;
    }
    if (rawSize)
        *rawSize = produced;
    return out;
}

void FreeLesEntry(void* buffer)
{
    delete[] static_cast<std::uint8_t*>(buffer);
}

void CloseLes(std::uint32_t slot)
{
    if (slot >= LES_SLOT_COUNT)
        return;
    std::lock_guard lock(g_SlotsMutex);
    DropFile(g_Slots[slot]);
    g_Slots[slot] = TLesSlot{};
}

void FreeLesSlots()
{
    ini_unpack();
}

std::uint32_t GetLesEntryCount(std::uint32_t slot)
{
    if (slot >= LES_SLOT_COUNT)
        return 0;
    std::lock_guard lock(g_SlotsMutex);
    return static_cast<std::uint32_t>(g_Slots[slot].entries.size());
}

bool GetLesEntry(std::uint32_t slot, std::uint32_t index, TLesEntry& entry)
{
    if (slot >= LES_SLOT_COUNT)
        return false;
    std::lock_guard lock(g_SlotsMutex);
    const auto& entries = g_Slots[slot].entries;
    if (index >= entries.size())
        return false;
    entry = entries[index];
    return true;
}

bool SaveCompressedFile(const char* path, const void* data, std::int32_t size)
{
    if (!path || !*path || size < 0 || (!data && size > 0)) {
        ReportError2("SaveCompressedFile: nothing to save for ", path ? path : "");
        return false;
    }
    static const Bytef kEmpty = 0;
    const uLong bound = compressBound(static_cast<uLong>(size));
    std::vector<std::uint8_t> file;
    try {
        file.resize(COMPRESSED_HEADER_SIZE + static_cast<std::size_t>(bound));
    } catch (const std::bad_alloc&) {
        ReportError2("SaveCompressedFile: out of memory for ", path);
        return false;
    }
    uLongf packed = bound;
    const Bytef* src = data ? static_cast<const Bytef*>(data) : &kEmpty;
    if (compress(file.data() + COMPRESSED_HEADER_SIZE, &packed, src, static_cast<uLong>(size)) != Z_OK) {
        ReportError2("SaveCompressedFile: compression failed for ", path);
        return false;
    }
    plat::WriteU32LE(file.data(), static_cast<std::uint32_t>(packed));
    plat::WriteU32LE(file.data() + 4, static_cast<std::uint32_t>(size));
    file.resize(COMPRESSED_HEADER_SIZE + packed);
    if (!plat::WriteFileAtomic(plat::ResolvePath(path), file.data(), file.size())) {
        ReportError2("Error opening", path);
        return false;
    }
    return true;
}

std::uint8_t* LoadCompressedBuffer(std::span<const std::uint8_t> file, std::uint32_t* rawSize, const char* pathForLog)
{
    if (rawSize)
        *rawSize = 0;
    const char* where = pathForLog ? pathForLog : "";
    if (file.size() < COMPRESSED_HEADER_SIZE) {
        ReportError2("Compressed file header too short: ", where);
        return nullptr;
    }
    const std::uint32_t packed = plat::ReadU32LE(file.data());
    const std::uint32_t raw = plat::ReadU32LE(file.data() + 4);
    if (packed > file.size() - COMPRESSED_HEADER_SIZE) {
        ReportError2("Compressed file shorter than its header says: ", where);
        return nullptr;
    }
    std::uint32_t produced = 0;
    std::uint8_t* out = InflateBody(file.data() + COMPRESSED_HEADER_SIZE, packed, raw, &produced);
    if (out && produced != raw) {
        delete[] out;
        out = nullptr;
    }
    if (!out) {
        ReportError2("Compressed file does not inflate to its size: ", where);
        return nullptr;
    }
    if (rawSize)
        *rawSize = raw;
    return out;
}

std::uint8_t* LoadCompressedFile(const char* path, std::uint32_t* rawSize)
{
    if (rawSize)
        *rawSize = 0;
    if (!path || !*path)
        return nullptr;
    plat::ReadOnlyFile file;
    if (!file.Open(plat::ResolvePath(path)))
        return nullptr;
    std::uint8_t head[COMPRESSED_HEADER_SIZE];
    if (!file.ReadAt(0, head, sizeof head)) {
        ReportError2("Compressed file header too short: ", path);
        return nullptr;
    }
    const std::uint32_t packed = plat::ReadU32LE(head);
    if (packed > file.Size() - COMPRESSED_HEADER_SIZE) {
        ReportError2("Compressed file shorter than its header says: ", path);
        return nullptr;
    }
    std::vector<std::uint8_t> image;
    try {
        image.resize(COMPRESSED_HEADER_SIZE + static_cast<std::size_t>(packed));
    } catch (const std::bad_alloc&) {
        ReportError2("Compressed file: out of memory for ", path);
        return nullptr;
    }
    std::memcpy(image.data(), head, sizeof head);
    if (!file.ReadAt(COMPRESSED_HEADER_SIZE, image.data() + COMPRESSED_HEADER_SIZE, packed)) {
        ReportError2("Compressed file shorter than its header says: ", path);
        return nullptr;
    }
    file.Close();
    return LoadCompressedBuffer(image, rawSize, path);
}

void FreeCompressedFile(void* buffer)
{
    delete[] static_cast<std::uint8_t*>(buffer);
}
