#include "MdxFile.h"

#include "Bytes.h"
#include "Error.h"
#include "IndexKey.h"
#include "MdxLayout.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <unordered_set>

namespace dbase {

using namespace mdx;

namespace {

constexpr size_t kCacheBlocks = 8192; // 8 MiB of nodes kept by a sole user

using bytes::get16;
using bytes::get32;
using bytes::put16;
using bytes::put32;

void putDate(unsigned char* p) {
    using namespace std::chrono;
    const year_month_day today{floor<days>(system_clock::now())};
    p[0] = static_cast<unsigned char>(static_cast<int>(today.year()) - 1900);
    p[1] = static_cast<unsigned char>(static_cast<unsigned>(today.month()));
    p[2] = static_cast<unsigned char>(static_cast<unsigned>(today.day()));
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

uint64_t offsetOf(uint32_t page) { return uint64_t(page) * kPageSize; }

const unsigned char* entryAt(const std::vector<unsigned char>& node, const MdxTag& tag, int i) {
    return node.data() + kNodeEntries + static_cast<size_t>(i) * static_cast<size_t>(tag.entryLength);
}

std::string_view keyAt(const std::vector<unsigned char>& node, const MdxTag& tag, int i) {
    return std::string_view(reinterpret_cast<const char*>(entryAt(node, tag, i) + 4),
                            static_cast<size_t>(tag.keyLength));
}

// Fills a tag header block.
void fillTagHeader(unsigned char* h, const TagBuild& t, uint32_t root, uint32_t pages) {
    put32(h + kTagRoot, root);
    put32(h + kTagPages, pages);
    h[kTagKeyFormat] = t.keyType == 'C' ? kFormatCharacter : 0;
    h[kTagKeyType] = static_cast<unsigned char>(t.keyType);
    put16(h + kTagKeyLength, static_cast<uint32_t>(t.keyLength));
    put16(h + kTagMaxKeys, static_cast<uint32_t>(maxKeys(t.keyLength)));
    put16(h + kTagDateKeys, t.keyType == 'D' ? 1 : 0);
    put16(h + kTagEntryLength, static_cast<uint32_t>(entryLength(t.keyLength)));
    put16(h + kTagVersion, 2);
    const size_t n = std::min(t.expression.size(), kTagExpressionSize - 1);
    std::memcpy(h + kTagExpression, t.expression.data(), n);
    h[kTagHasExpression] = 1;
}

} // namespace

// A node in memory: a leaf holds records and keys; an inner node keys.size() + 1 children.
struct MdxFile::Node {
    bool leaf = true;
    std::vector<uint32_t> numbers; // records of a leaf, children of an inner node
    std::vector<std::string> keys;
};

// The index lock for the length of one operation when others share the file.
class MdxFile::Lock {
public:
    Lock(MdxFile& f, bool exclusive) : f_(f) {
        if (f_.shared_ && f_.lockDepth_++ == 0) {
            f_.file_.waitLock(lock_range::kMdx, 1, exclusive && f_.writable_);
            locked_ = true;
            try {
                f_.loadHeader(); // others may have grown the file or moved a root
            } catch (...) {
                release();
                throw;
            }
        }
    }
    ~Lock() { release(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    void release() {
        if (f_.shared_ && f_.lockDepth_ > 0 && --f_.lockDepth_ == 0 && locked_)
            f_.file_.unlock(lock_range::kMdx, 1);
        locked_ = false;
    }
    MdxFile& f_;
    bool locked_ = false;
};

// ---------------------------------------------------------------------------------------------
// Writing a whole file

void MdxFile::write(const std::string& path, uint8_t languageDriver, const std::vector<TagBuild>& tags) {
    if (tags.size() > static_cast<size_t>(kMaxTags))
        throw Error("An index file holds at most " + std::to_string(kMaxTags) + " tags");
    const std::string temp = path + ".new";
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    File out;
    out.open(temp, File::Mode::CreateNew);
    try {
        std::vector<unsigned char> header(kHeaderPages * kPageSize, 0);
        uint32_t nextPage = kHeaderPages + static_cast<uint32_t>(tags.size()) * kPagesPerBlock;
        // Nodes are written in order through one buffer; tag headers go in last, once their
        // roots are known.
        std::vector<unsigned char> buffer;
        uint64_t bufferStart = offsetOf(nextPage);
        auto flush = [&] {
            if (!buffer.empty()) out.writeAt(buffer.data(), buffer.size(), bufferStart);
            bufferStart += buffer.size();
            buffer.clear();
        };
        auto emit = [&](const std::vector<unsigned char>& block) {
            buffer.insert(buffer.end(), block.begin(), block.end());
            if (buffer.size() >= (1u << 20)) flush();
            const uint32_t page = nextPage;
            nextPage += kPagesPerBlock;
            return page;
        };

        for (size_t t = 0; t < tags.size(); ++t) {
            const TagBuild& tag = tags[t];
            const int len = tag.keyLength;
            const int entry = entryLength(len);
            const int leafCapacity = maxKeys(len);
            const int innerCapacity = leafCapacity - 1; // keyed entries; one more child
            const size_t count = tag.recnos.size();
            const uint32_t firstPage = nextPage;

            // Leaves, full. Each level remembers its nodes' pages and largest keys.
            std::vector<uint32_t> pages;
            std::vector<std::string> maxima;
            std::vector<unsigned char> block(kBlockSize);
            size_t i = 0;
            do {
                std::fill(block.begin(), block.end(), 0);
                const size_t n = std::min(count - i, static_cast<size_t>(leafCapacity));
                put32(block.data() + kNodeCount, static_cast<uint32_t>(n));
                for (size_t k = 0; k < n; ++k) {
                    unsigned char* e = block.data() + kNodeEntries + k * static_cast<size_t>(entry);
                    put32(e, tag.recnos[i + k]);
                    std::memcpy(e + 4, tag.keys.data() + (i + k) * static_cast<size_t>(len),
                                static_cast<size_t>(len));
                }
                pages.push_back(emit(block));
                maxima.push_back(n > 0 ? tag.keys.substr((i + n - 1) * static_cast<size_t>(len),
                                                         static_cast<size_t>(len))
                                       : std::string(static_cast<size_t>(len), '\0'));
                i += n;
            } while (i < count);

            // Inner levels until one node is left.
            while (pages.size() > 1) {
                std::vector<uint32_t> upperPages;
                std::vector<std::string> upperMaxima;
                const size_t perNode = static_cast<size_t>(innerCapacity) + 1;
                for (size_t c = 0; c < pages.size(); c += perNode) {
                    size_t children = std::min(perNode, pages.size() - c);
                    // Never leave a lone child for the last node when it can be balanced.
                    if (pages.size() - c - children == 1 && children > 2) --children;
                    std::fill(block.begin(), block.end(), 0);
                    put32(block.data() + kNodeCount, static_cast<uint32_t>(children - 1));
                    for (size_t k = 0; k < children; ++k) {
                        unsigned char* e = block.data() + kNodeEntries + k * static_cast<size_t>(entry);
                        put32(e, pages[c + k]);
                        if (k + 1 < children)
                            std::memcpy(e + 4, maxima[c + k].data(), static_cast<size_t>(len));
                    }
                    upperPages.push_back(emit(block));
                    upperMaxima.push_back(maxima[c + children - 1]);
                    c -= perNode - children; // when a child was held back for the next node
                }
                pages = std::move(upperPages);
                maxima = std::move(upperMaxima);
            }
            flush();

            std::vector<unsigned char> tagHeader(kBlockSize, 0);
            fillTagHeader(tagHeader.data(), tag, pages.front(), nextPage - firstPage + kPagesPerBlock);
            const uint32_t headerPage = kHeaderPages + static_cast<uint32_t>(t) * kPagesPerBlock;
            out.writeAt(tagHeader.data(), tagHeader.size(), offsetOf(headerPage));

            unsigned char* slot = header.data() + kTagTable + (t + 1) * kSlotLength;
            put32(slot + kSlotHeaderPage, headerPage);
            const std::string name = upper(tag.name).substr(0, kSlotNameSize - 1);
            std::memcpy(slot + kSlotName, name.data(), name.size());
            slot[kSlotKeyFormat] = tag.fieldTag ? kSlotFieldTag : kSlotExpressionTag;
            slot[kSlotReserved] = 2;
            slot[kSlotKeyType] = static_cast<unsigned char>(tag.keyType);
        }
        flush();

        header[kVersion] = kVersionValue;
        putDate(header.data() + kCreated);
        putDate(header.data() + kUpdated);
        std::string base = tableNameOf(path).substr(0, kFileNameSize - 1);
        std::memcpy(header.data() + kFileName, base.data(), base.size());
        put16(header.data() + kBlockPages, kPagesPerBlock);
        put16(header.data() + kBlockBytes, kBlockSize);
        header[kProductionFlag] = 1;
        header[kTagSlots] = kSlotCount;
        header[kTagSlotLength] = kSlotLength;
        put16(header.data() + kTagsInUse, static_cast<uint32_t>(tags.size()));
        header[kLanguageDriver] = languageDriver;
        put32(header.data() + kPageCount, nextPage);
        header[kSlotZeroMarker] = 1;
        out.writeAt(header.data(), header.size(), 0);
        out.truncate(offsetOf(nextPage));
        out.sync();
    } catch (...) {
        out.close();
        std::filesystem::remove(temp, ec);
        throw;
    }
    out.close();
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        throw Error("Cannot write the index " + path + ": " + ec.message());
    }
    syncFolder(folderOf(path));
}

// ---------------------------------------------------------------------------------------------
// Opening

void MdxFile::open(const std::string& path, bool writable, bool shared) {
    close();
    file_.open(path, writable ? File::Mode::ReadWrite : File::Mode::Read);
    path_ = path;
    writable_ = writable;
    shared_ = shared;
    try {
        loadHeader();
    } catch (...) {
        close();
        throw;
    }
}

void MdxFile::close() {
    file_.close();
    tags_.clear();
    header_.clear();
    cache_.clear();
    lockDepth_ = 0;
}

void MdxFile::damaged(const std::string& what) const {
    throw Error("The index " + path_ + " is damaged: " + what + "; rebuild the indexes");
}

void MdxFile::loadHeader() {
    std::vector<unsigned char> h(kHeaderPages * kPageSize);
    if (file_.readAt(h.data(), h.size(), 0) != h.size()) damaged("the file is too short");
    // Nothing was allocated or changed in the header since it was last read (a root that moves
    // takes a new page, which changes the page count): the tags as read stand.
    if (!tags_.empty() && h == header_) return;
    cache_.clear();
    const uint64_t size = file_.size();
    if (h[kTagSlotLength] != kSlotLength) damaged("it is not a dBASE IV index");
    const uint16_t used = get16(h.data() + kTagsInUse);
    if (used > kMaxTags) damaged("it claims " + std::to_string(used) + " tags");
    pageCount_ = get32(h.data() + kPageCount);
    if (pageCount_ < kHeaderPages || offsetOf(pageCount_) > size)
        damaged("its page count points past the end of the file");
    languageDriver_ = h[kLanguageDriver];

    std::vector<MdxTag> tags;
    std::vector<unsigned char> block;
    for (int i = 1; i <= used; ++i) {
        const unsigned char* slot = h.data() + kTagTable + static_cast<size_t>(i) * kSlotLength;
        MdxTag tag;
        size_t nameLength = 0;
        while (nameLength < kSlotNameSize && slot[kSlotName + nameLength] != 0) ++nameLength;
        tag.name = upper(std::string(reinterpret_cast<const char*>(slot + kSlotName), nameLength));
        tag.fieldTag = slot[kSlotKeyFormat] == kSlotFieldTag;
        tag.headerPage = get32(slot + kSlotHeaderPage);
        if (tag.name.empty()) damaged("tag " + std::to_string(i) + " has no name");
        readBlock(tag.headerPage, block);
        const unsigned char* th = block.data();
        tag.rootPage = get32(th + kTagRoot);
        tag.keyType = static_cast<char>(th[kTagKeyType]);
        tag.keyLength = get16(th + kTagKeyLength);
        tag.descending = (th[kTagKeyFormat] & kFormatDescending) != 0;
        tag.unique = (th[kTagKeyFormat] & (kFormatUnique | kFormatDistinct)) != 0;
        const bool typeOk = (tag.keyType == 'C' && tag.keyLength >= 1 && tag.keyLength <= 100) ||
                            (tag.keyType == 'N' && tag.keyLength == kNumericKeyLength) ||
                            (tag.keyType == 'D' && tag.keyLength == kDateKeyLength);
        if (!typeOk) damaged("tag " + tag.name + " has a bad key type or length");
        tag.entryLength = entryLength(tag.keyLength);
        tag.maxKeys = maxKeys(tag.keyLength);
        const auto* expr = reinterpret_cast<const char*>(th + kTagExpression);
        tag.expression.assign(expr, strnlen(expr, kTagExpressionSize));
        tags.push_back(std::move(tag));
    }
    // Others' changes move roots and grow the file but keep the list of tags (changing it needs
    // sole use): update the tags in place, so that references to them stay good.
    const bool sameTags = tags.size() == tags_.size() &&
                          std::equal(tags.begin(), tags.end(), tags_.begin(),
                                     [](const MdxTag& a, const MdxTag& b) { return a.name == b.name; });
    if (sameTags)
        std::copy(tags.begin(), tags.end(), tags_.begin());
    else
        tags_ = std::move(tags);
    header_ = std::move(h);
}

int MdxFile::findTag(std::string_view name) const {
    const std::string wanted = upper(name);
    for (size_t i = 0; i < tags_.size(); ++i)
        if (tags_[i].name == wanted) return static_cast<int>(i);
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Blocks and nodes

void MdxFile::readBlock(uint32_t page, std::vector<unsigned char>& block) {
    if (page < kHeaderPages || page + kPagesPerBlock > pageCount_)
        damaged("page " + std::to_string(page) + " lies past the end of the file");
    if (!shared_) {
        if (auto it = cache_.find(page); it != cache_.end()) {
            block = it->second;
            return;
        }
    }
    block.resize(kBlockSize);
    if (file_.readAt(block.data(), kBlockSize, offsetOf(page)) != kBlockSize)
        damaged("page " + std::to_string(page) + " is cut short");
    if (!shared_) {
        if (cache_.size() >= kCacheBlocks) cache_.clear();
        cache_[page] = block;
    }
}

void MdxFile::writeBlock(uint32_t page, const std::vector<unsigned char>& block) {
    file_.writeAt(block.data(), kBlockSize, offsetOf(page));
    if (!shared_) {
        if (cache_.size() >= kCacheBlocks) cache_.clear();
        cache_[page] = block;
    }
}

uint32_t MdxFile::allocateBlock() {
    const uint32_t page = pageCount_;
    pageCount_ += kPagesPerBlock;
    unsigned char count[4];
    put32(count, pageCount_);
    file_.writeAt(count, sizeof count, kPageCount);
    return page;
}

MdxFile::Node MdxFile::readNode(const MdxTag& tag, uint32_t page) {
    std::vector<unsigned char> block;
    readBlock(page, block);
    const uint32_t n = get32(block.data() + kNodeCount);
    if (n > static_cast<uint32_t>(tag.maxKeys))
        damaged("a node of tag " + tag.name + " holds " + std::to_string(n) + " keys");
    Node node;
    const int count = static_cast<int>(n);
    node.leaf = count == tag.maxKeys || get32(entryAt(block, tag, count)) == 0;
    for (int i = 0; i < count; ++i) {
        node.numbers.push_back(get32(entryAt(block, tag, i)));
        node.keys.emplace_back(keyAt(block, tag, i));
    }
    if (!node.leaf) node.numbers.push_back(get32(entryAt(block, tag, count)));
    return node;
}

void MdxFile::writeNode(const MdxTag& tag, uint32_t page, const Node& node) {
    std::vector<unsigned char> block(kBlockSize, 0);
    put32(block.data() + kNodeCount, static_cast<uint32_t>(node.keys.size()));
    for (size_t i = 0; i < node.numbers.size(); ++i) {
        unsigned char* e = block.data() + kNodeEntries + i * static_cast<size_t>(tag.entryLength);
        put32(e, node.numbers[i]);
        if (i < node.keys.size()) std::memcpy(e + 4, node.keys[i].data(), static_cast<size_t>(tag.keyLength));
    }
    writeBlock(page, block);
}

void MdxFile::setRoot(int t, uint32_t page) {
    MdxTag& tag = tags_[static_cast<size_t>(t)];
    tag.rootPage = page;
    unsigned char root[4];
    put32(root, page);
    file_.writeAt(root, sizeof root, offsetOf(tag.headerPage) + kTagRoot);
    cache_.erase(tag.headerPage);
}

int MdxFile::compare(const MdxTag& tag, std::string_view a, std::string_view b) const {
    const int c = index_key::compare(tag.keyType, a, b);
    return tag.descending ? -c : c;
}

// ---------------------------------------------------------------------------------------------
// Cursors

// The number of keyed entries of a node block, checked against what the tag allows.
int MdxFile::entryCount(const MdxTag& tag, const std::vector<unsigned char>& block) const {
    const uint32_t n = get32(block.data() + kNodeCount);
    if (n > static_cast<uint32_t>(tag.maxKeys))
        damaged("a node of tag " + tag.name + " holds " + std::to_string(n) + " keys");
    return static_cast<int>(n);
}

// A node is a leaf when it is full or the entry after its last holds no page.
bool MdxFile::isLeaf(const MdxTag& tag, const std::vector<unsigned char>& block) const {
    const int n = entryCount(tag, block);
    return n == tag.maxKeys || get32(entryAt(block, tag, n)) == 0;
}

uint32_t MdxFile::childAt(const MdxTag& tag, const std::vector<unsigned char>& block, int i) const {
    return get32(entryAt(block, tag, i));
}

// Makes the block just read the cursor's leaf. Keys within a leaf must ascend; checking costs
// little and stops a damaged index from showing records in a wrong order unnoticed.
void MdxFile::takeLeaf(const MdxTag& tag, uint32_t page, std::vector<unsigned char>& block,
                       MdxCursor& cursor) {
    const int n = entryCount(tag, block);
    for (int i = 1; byteOrder_ && i < n; ++i)
        if (compare(tag, keyAt(block, tag, i - 1), keyAt(block, tag, i)) > 0)
            damaged("the keys of tag " + tag.name + " are out of order");
    cursor.leaf.swap(block);
    cursor.leafPage = page;
    cursor.count = n;
}

uint32_t MdxFile::recno(const MdxCursor& c) const {
    return get32(entryAt(c.leaf, tags_[static_cast<size_t>(c.tag)], c.pos));
}

uint32_t MdxFile::recnoAhead(const MdxCursor& c, int ahead) const {
    const int i = c.pos + ahead;
    if (c.tag < 0 || i < 0 || i >= c.count) return 0;
    return get32(entryAt(c.leaf, tags_[static_cast<size_t>(c.tag)], i));
}

std::string_view MdxFile::key(const MdxCursor& c) const {
    return keyAt(c.leaf, tags_[static_cast<size_t>(c.tag)], c.pos);
}

// Goes down from the root to a leaf. With `upper` it takes the last place a key equal to `key`
// would go (after equal keys), otherwise the first entry not before `key` (compared on the
// length of `key`). Returns whether the cursor ended on an entry.
bool MdxFile::descend(int t, std::string_view wanted, bool upperBound, MdxCursor& cursor) {
    const MdxTag& tag = tags_[static_cast<size_t>(t)];
    cursor.tag = t;
    cursor.path.clear();
    auto cmp = [&](std::string_view k) {
        return compare(tag, tag.keyType == 'C' ? k.substr(0, wanted.size()) : k, wanted);
    };
    auto before = [&](std::string_view k) { return upperBound ? cmp(k) <= 0 : cmp(k) < 0; };
    std::vector<unsigned char>& block = scratch_;
    uint32_t page = tag.rootPage;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) damaged("tag " + tag.name + " has a loop");
        readBlock(page, block);
        if (isLeaf(tag, block)) break;
        const int n = entryCount(tag, block);
        int i = 0;
        while (i < n && before(keyAt(block, tag, i))) ++i;
        cursor.path.push_back({page, i});
        page = childAt(tag, block, i);
    }
    takeLeaf(tag, page, block, cursor);
    int i = 0;
    while (i < cursor.count && before(keyAt(cursor.leaf, tag, i))) ++i;
    cursor.pos = i;
    if (upperBound || i < cursor.count) return cursor.onEntry();
    // Past this leaf (its parent's key was larger than what is left in it): the next one.
    return stepLeaf(cursor, true);
}

bool MdxFile::edge(int t, bool toLast, MdxCursor& cursor) {
    const MdxTag& tag = tags_[static_cast<size_t>(t)];
    cursor.tag = t;
    cursor.path.clear();
    std::vector<unsigned char>& block = scratch_;
    uint32_t page = tag.rootPage;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) damaged("tag " + tag.name + " has a loop");
        readBlock(page, block);
        if (isLeaf(tag, block)) break;
        const int child = toLast ? entryCount(tag, block) : 0;
        cursor.path.push_back({page, child});
        page = childAt(tag, block, child);
    }
    takeLeaf(tag, page, block, cursor);
    cursor.pos = toLast ? cursor.count - 1 : 0;
    if (cursor.onEntry()) return true;
    return stepLeaf(cursor, !toLast); // an empty leaf at the edge
}

// Moves to the next (or previous) leaf that holds entries, through the inner nodes of the path.
bool MdxFile::stepLeaf(MdxCursor& cursor, bool forward) {
    const MdxTag& tag = tags_[static_cast<size_t>(cursor.tag)];
    std::vector<unsigned char>& block = scratch_;
    std::string previous;
    for (uint32_t guard = 0; guard <= pageCount_; ++guard) {
        // Up to the first level with a sibling in this direction.
        uint32_t page = 0;
        while (!cursor.path.empty()) {
            MdxCursor::Level& level = cursor.path.back();
            readBlock(level.page, block);
            if (isLeaf(tag, block)) damaged("tag " + tag.name + " changed shape");
            const int next = level.child + (forward ? 1 : -1);
            if (next >= 0 && next <= entryCount(tag, block)) {
                level.child = next;
                page = childAt(tag, block, next);
                break;
            }
            cursor.path.pop_back();
        }
        if (cursor.path.empty()) {
            cursor.pos = forward ? cursor.count : -1;
            return false;
        }
        // Down the nearest edge of that sibling.
        for (;;) {
            if (cursor.path.size() > static_cast<size_t>(kMaxDepth)) damaged("tag " + tag.name + " has a loop");
            readBlock(page, block);
            if (isLeaf(tag, block)) break;
            const int child = forward ? 0 : entryCount(tag, block);
            cursor.path.push_back({page, child});
            page = childAt(tag, block, child);
        }
        const bool hadKeys = cursor.count > 0;
        if (hadKeys) previous.assign(keyAt(cursor.leaf, tag, forward ? cursor.count - 1 : 0));
        takeLeaf(tag, page, block, cursor);
        if (cursor.count == 0) continue;
        cursor.pos = forward ? 0 : cursor.count - 1;
        if (byteOrder_ && hadKeys &&
            (forward ? compare(tag, previous, key(cursor)) > 0 : compare(tag, key(cursor), previous) > 0))
            damaged("the keys of tag " + tag.name + " are out of order");
        return true;
    }
    damaged("tag " + tag.name + " has a loop");
}

bool MdxFile::first(int t, MdxCursor& cursor) {
    Lock lock(*this, false);
    return edge(t, false, cursor);
}

bool MdxFile::last(int t, MdxCursor& cursor) {
    Lock lock(*this, false);
    return edge(t, true, cursor);
}

bool MdxFile::next(MdxCursor& cursor) {
    if (cursor.pos + 1 < cursor.count) {
        ++cursor.pos;
        return true;
    }
    Lock lock(*this, false);
    return stepLeaf(cursor, true);
}

bool MdxFile::prior(MdxCursor& cursor) {
    if (cursor.pos - 1 >= 0 && cursor.pos - 1 < cursor.count) {
        --cursor.pos;
        return true;
    }
    Lock lock(*this, false);
    return stepLeaf(cursor, false);
}

bool MdxFile::seek(int t, std::string_view wanted, MdxCursor& cursor) {
    Lock lock(*this, false);
    return descend(t, wanted, false, cursor);
}

bool MdxFile::locate(int t, std::string_view wanted, uint32_t record, MdxCursor& cursor) {
    Lock lock(*this, false);
    const MdxTag& tag = tags_[static_cast<size_t>(t)];
    // Equal keys keep the order they were added in, so the record is looked for among them all.
    for (bool on = descend(t, wanted, false, cursor); on; on = next(cursor)) {
        if (compare(tag, key(cursor), wanted) != 0) return false;
        if (recno(cursor) == record) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Changing a tag

void MdxFile::insert(int t, std::string_view newKey, uint32_t record) {
    Lock lock(*this, true);
    const MdxTag& tag = tags_[static_cast<size_t>(t)];
    MdxCursor cursor;
    descend(t, newKey, true, cursor);
    if (tag.unique && cursor.pos > 0) {
        MdxCursor before = cursor;
        --before.pos;
        if (compare(tag, key(before), newKey) == 0) return;
    }
    Node leaf = readNode(tag, cursor.leafPage);
    leaf.numbers.insert(leaf.numbers.begin() + cursor.pos, record);
    leaf.keys.insert(leaf.keys.begin() + cursor.pos, std::string(newKey));
    if (leaf.keys.size() <= static_cast<size_t>(tag.maxKeys)) {
        writeNode(tag, cursor.leafPage, leaf);
        return;
    }
    // Split: the first half stays, the second moves to a new block.
    const size_t half = leaf.keys.size() / 2;
    Node right;
    right.numbers.assign(leaf.numbers.begin() + static_cast<long>(half), leaf.numbers.end());
    right.keys.assign(leaf.keys.begin() + static_cast<long>(half), leaf.keys.end());
    leaf.numbers.resize(half);
    leaf.keys.resize(half);
    const uint32_t rightPage = allocateBlock();
    writeNode(tag, rightPage, right);
    writeNode(tag, cursor.leafPage, leaf);
    insertIntoParent(t, cursor.path, cursor.leafPage, leaf.keys.back(), rightPage);
}

// After a node split into left (keeping the page) and right, the parent gets the left's largest
// key and a pointer to the right.
void MdxFile::insertIntoParent(int t, std::vector<MdxCursor::Level> path, uint32_t left,
                               const std::string& separator, uint32_t right) {
    const MdxTag& tag = tags_[static_cast<size_t>(t)];
    if (path.empty()) {
        Node root;
        root.leaf = false;
        root.keys = {separator};
        root.numbers = {left, right};
        const uint32_t page = allocateBlock();
        writeNode(tag, page, root);
        setRoot(t, page);
        return;
    }
    const MdxCursor::Level level = path.back();
    path.pop_back();
    Node parent = readNode(tag, level.page);
    const auto c = static_cast<size_t>(level.child);
    parent.numbers[c] = right;
    parent.numbers.insert(parent.numbers.begin() + static_cast<long>(c), left);
    parent.keys.insert(parent.keys.begin() + static_cast<long>(c), separator);
    if (parent.keys.size() <= static_cast<size_t>(tag.maxKeys - 1)) {
        writeNode(tag, level.page, parent);
        return;
    }
    // The middle key goes up; the left keeps the children before it, the right the rest.
    const size_t mid = parent.keys.size() / 2;
    Node rightNode;
    rightNode.leaf = false;
    rightNode.keys.assign(parent.keys.begin() + static_cast<long>(mid) + 1, parent.keys.end());
    rightNode.numbers.assign(parent.numbers.begin() + static_cast<long>(mid) + 1, parent.numbers.end());
    const std::string up = parent.keys[mid];
    parent.keys.resize(mid);
    parent.numbers.resize(mid + 1);
    const uint32_t rightPage = allocateBlock();
    writeNode(tag, rightPage, rightNode);
    writeNode(tag, level.page, parent);
    insertIntoParent(t, path, level.page, up, rightPage);
}

bool MdxFile::remove(int t, std::string_view oldKey, uint32_t record) {
    Lock lock(*this, true);
    const MdxTag& tag = tags_[static_cast<size_t>(t)];
    MdxCursor cursor;
    if (!locate(t, oldKey, record, cursor)) return false;
    Node leaf = readNode(tag, cursor.leafPage);
    leaf.numbers.erase(leaf.numbers.begin() + cursor.pos);
    leaf.keys.erase(leaf.keys.begin() + cursor.pos);
    if (!leaf.keys.empty() || cursor.path.empty()) {
        writeNode(tag, cursor.leafPage, leaf);
        return true;
    }
    // An emptied leaf leaves its parent (the block is not reused, as other dBASE tools do).
    while (!cursor.path.empty()) {
        const MdxCursor::Level level = cursor.path.back();
        cursor.path.pop_back();
        Node parent = readNode(tag, level.page);
        const auto c = static_cast<size_t>(level.child);
        parent.numbers.erase(parent.numbers.begin() + static_cast<long>(c));
        // When the keyless last child goes, the one before it takes its place and drops its key.
        if (c < parent.keys.size())
            parent.keys.erase(parent.keys.begin() + static_cast<long>(c));
        else if (!parent.keys.empty())
            parent.keys.pop_back();
        if (parent.numbers.empty()) continue; // this node is empty too: on to its parent
        if (cursor.path.empty() && parent.keys.empty()) {
            setRoot(t, parent.numbers.front()); // a root with one child gives way to it
            return true;
        }
        writeNode(tag, level.page, parent);
        return true;
    }
    Node empty; // every leaf is gone: the root becomes an empty leaf
    writeNode(tag, tag.rootPage, empty);
    return true;
}

void MdxFile::walk(int t, const std::function<void(uint32_t, std::string_view)>& visit) {
    Lock lock(*this, false);
    const MdxTag& tag = tags_[static_cast<size_t>(t)];
    std::unordered_set<uint32_t> seen;
    std::string previous;
    bool any = false;
    // Depth first, checking that no page is reached twice and that every key of a subtree is
    // at most the key its parent holds for it.
    std::function<void(uint32_t, int, const std::string*)> visitNode = [&](uint32_t page, int depth,
                                                                          const std::string* bound) {
        if (depth > kMaxDepth || !seen.insert(page).second) damaged("tag " + tag.name + " has a loop");
        const Node node = readNode(tag, page);
        for (size_t i = 0; i < node.keys.size(); ++i)
            if (byteOrder_ && bound && compare(tag, node.keys[i], *bound) > 0)
                damaged("the keys of tag " + tag.name + " are out of order");
        if (node.leaf) {
            for (size_t i = 0; i < node.keys.size(); ++i) {
                if (byteOrder_ && any && compare(tag, previous, node.keys[i]) > 0)
                    damaged("the keys of tag " + tag.name + " are out of order");
                previous = node.keys[i];
                any = true;
                visit(node.numbers[i], node.keys[i]);
            }
            return;
        }
        for (size_t i = 0; i < node.numbers.size(); ++i)
            visitNode(node.numbers[i], depth + 1, i < node.keys.size() ? &node.keys[i] : bound);
    };
    visitNode(tag.rootPage, 0, nullptr);
}

} // namespace dbase
