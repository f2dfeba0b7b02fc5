// Index encoding: little-endian fields after an 8-byte magic and the version, the folder's own
// path (so a hash collision or a copied file is refused), the counts, the three tables, the
// pool, the cycle, and an FNV-1a checksum of all before it. Decoding checks the counts against
// the bytes present before it allocates, and every offset against the pool.
#include "library/LibraryIndex.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/Directory.h"
#include "platform/FileIo.h"
#include "platform/UserFiles.h"

namespace kavrosa {
namespace {

constexpr uint8_t kMagic[8] = {'K', 'V', 'L', 'I', 'B', '\r', '\n', 0x1A};
constexpr size_t kFolderBytes = 10, kPhotoBytes = 16;

uint64_t Fnv1a(const uint8_t* data, size_t size) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3ull;
  return hash;
}

class Writer {
 public:
  void Bytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
  }
  void U16(uint32_t v) { Le(v, 2); }
  void U32(uint32_t v) { Le(v, 4); }
  void U64(uint64_t v) { Le(v, 8); }
  std::vector<uint8_t> out;

 private:
  void Le(uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
};

// Reads fail once past the end, and stay failed.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Skip(size_t n, const uint8_t*& at) {
    if (!ok_ || n > size_ - position_) return ok_ = false;
    at = data_ + position_;
    position_ += n;
    return true;
  }
  uint64_t Le(int bytes) {
    const uint8_t* at = nullptr;
    if (!Skip(static_cast<size_t>(bytes), at)) return 0;
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t{at[i]} << (8 * i);
    return v;
  }
  size_t left() const { return size_ - position_; }
  bool ok() const { return ok_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  bool ok_ = true;
};

}  // namespace

std::string LibraryIndexPath(const std::string& cacheFolder, const std::string& folder) {
  char name[32];
  const auto hash = Fnv1a(reinterpret_cast<const uint8_t*>(folder.data()), folder.size());
  std::snprintf(name, sizeof name, "%016llx.index", static_cast<unsigned long long>(hash));
  return JoinPath(cacheFolder, name);
}

std::vector<uint8_t> EncodeLibraryIndex(const std::string& folder, const PhotoTable& t,
                                        const std::vector<uint32_t>& order) {
  Writer w;
  // Sized exactly: for a large library the buffer is the largest thing the worker holds.
  w.out.reserve(sizeof kMagic + 8 + folder.size() + 16 + t.folderCount() * kFolderBytes +
                t.photoCount() * kPhotoBytes + t.pool().size() + order.size() * 4 + 8);
  w.Bytes(kMagic, sizeof kMagic);
  w.U32(kLibraryIndexVersion);
  w.U32(static_cast<uint32_t>(folder.size()));
  w.Bytes(folder.data(), folder.size());
  w.U32(static_cast<uint32_t>(t.folderCount()));
  w.U32(static_cast<uint32_t>(t.photoCount()));
  w.U32(static_cast<uint32_t>(t.pool().size()));
  w.U32(static_cast<uint32_t>(order.size()));
  for (const TableFolder& f : t.folders()) {
    w.U32(f.parent);
    w.U32(f.nameOffset);
    w.U16(f.nameLength);
  }
  for (const TablePhoto& p : t.photos()) {
    w.U32(p.folder);
    w.U32(p.nameOffset);
    w.U16(p.nameLength);
    w.U16(0);
    w.U32(p.size);
  }
  w.Bytes(t.pool().data(), t.pool().size());
  for (const uint32_t n : order) w.U32(n);
  w.U64(Fnv1a(w.out.data(), w.out.size()));
  return std::move(w.out);
}

bool DecodeLibraryIndex(const std::vector<uint8_t>& bytes, const std::string& folder,
                        LibraryIndex& index) {
  if (bytes.size() < sizeof kMagic + 8 + 8) return false;
  const size_t body = bytes.size() - 8;
  Reader check(bytes.data() + body, 8);
  if (check.Le(8) != Fnv1a(bytes.data(), body)) return false;
  Reader r(bytes.data(), body);
  const uint8_t* at = nullptr;
  if (!r.Skip(sizeof kMagic, at) || std::memcmp(at, kMagic, sizeof kMagic) != 0) return false;
  if (r.Le(4) != kLibraryIndexVersion) return false;
  const size_t folderLength = static_cast<size_t>(r.Le(4));
  if (!r.Skip(folderLength, at) || folderLength != folder.size() ||
      std::memcmp(at, folder.data(), folderLength) != 0) {
    return false;
  }
  const uint64_t folders = r.Le(4), photos = r.Le(4), pool = r.Le(4), order = r.Le(4);
  // The counts must account for exactly the bytes present, before anything is allocated.
  if (!r.ok() || folders == 0 ||
      folders * kFolderBytes + photos * kPhotoBytes + pool + order * 4 != r.left() ||
      (order != 0 && order != photos)) {
    return false;
  }
  std::vector<TableFolder> folderTable(static_cast<size_t>(folders));
  for (uint64_t i = 0; i < folders; ++i) {
    TableFolder& f = folderTable[static_cast<size_t>(i)];
    f.parent = static_cast<uint32_t>(r.Le(4));
    f.nameOffset = static_cast<uint32_t>(r.Le(4));
    f.nameLength = static_cast<uint16_t>(r.Le(2));
    // Parents come first, so paths cannot loop; the library's folder has none.
    const bool parentOk = i == 0 ? f.parent == kNoFolder : f.parent < i;
    if (!parentOk || uint64_t{f.nameOffset} + f.nameLength > pool) return false;
  }
  std::vector<TablePhoto> photoTable(static_cast<size_t>(photos));
  for (TablePhoto& p : photoTable) {
    p.folder = static_cast<uint32_t>(r.Le(4));
    p.nameOffset = static_cast<uint32_t>(r.Le(4));
    p.nameLength = static_cast<uint16_t>(r.Le(2));
    p.flags = 0;
    p.reserved = 0;
    const uint64_t reserved = r.Le(2);  // written as 0: anything else is another writer's
    p.size = static_cast<uint32_t>(r.Le(4));
    if (reserved != 0 || p.folder >= folders || p.nameLength == 0 ||
        uint64_t{p.nameOffset} + p.nameLength > pool)
      return false;
  }
  if (!r.Skip(static_cast<size_t>(pool), at)) return false;
  std::string names(reinterpret_cast<const char*>(at), static_cast<size_t>(pool));
  std::vector<uint32_t> cycle(static_cast<size_t>(order));
  std::vector<bool> seen(static_cast<size_t>(order), false);
  for (uint32_t& n : cycle) {
    n = static_cast<uint32_t>(r.Le(4));
    if (n >= photos || seen[n]) return false;  // each photograph once
    seen[n] = true;
  }
  if (!r.ok()) return false;
  index.table =
      PhotoTable::FromParts(std::move(folderTable), std::move(photoTable), std::move(names));
  index.order = std::move(cycle);
  return true;
}

bool ReadLibraryIndex(const std::string& path, const std::string& folder, LibraryIndex& index) {
  std::vector<uint8_t> bytes;
  return ReadWholeFile(path, kMaxLibraryIndexBytes, bytes) &&
         DecodeLibraryIndex(bytes, folder, index);
}

bool WriteLibraryIndex(const std::string& path, const std::string& folder, const PhotoTable& table,
                       const std::vector<uint32_t>& order) {
  const std::vector<uint8_t> bytes = EncodeLibraryIndex(folder, table, order);
  if (bytes.size() > kMaxLibraryIndexBytes) return false;
  const size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos && !MakeFolders(path.substr(0, slash))) return false;
  return ReplaceFileAtomically(path, bytes);
}

}  // namespace kavrosa
