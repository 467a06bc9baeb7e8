#pragma once

#include "File.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dbase {

// One tag of a production index as its slot and header describe it.
struct MdxTag {
    std::string name; // upper case
    std::string expression;
    char keyType = 'C'; // C, N or D
    int keyLength = 0;
    int entryLength = 0;
    int maxKeys = 0;
    bool descending = false;
    bool unique = false;
    bool fieldTag = false; // a tag on a plain field rather than an expression
    uint32_t headerPage = 0;
    uint32_t rootPage = 0;
};

// The sorted keys of a tag to be written by MdxFile::write().
struct TagBuild {
    std::string name;
    std::string expression;
    char keyType = 'C';
    int keyLength = 0;
    bool fieldTag = false;
    std::string keys;             // keyLength bytes per entry, in index order
    std::vector<uint32_t> recnos; // one per entry
};

// A position in a tag: the path of inner nodes from the root and a copy of the leaf.
struct MdxCursor {
    struct Level {
        uint32_t page;
        int child; // the child taken: 0..n, n being the last (keyless) one
    };
    int tag = -1;
    std::vector<Level> path;
    uint32_t leafPage = 0;
    std::vector<unsigned char> leaf;
    int count = 0; // entries in the leaf
    int pos = -1;  // the current entry; -1 or count when off the leaf

    bool onEntry() const { return pos >= 0 && pos < count; }
};

// A dBASE IV production index file. Every damage found (a page past the end, a loop, a node
// that cannot be one, keys out of order) throws dbase::Error naming the file.
class MdxFile {
public:
    // Writes an index file holding these tags, beside `path`, and renames it over `path`.
    static void write(const std::string& path, uint8_t languageDriver, const std::vector<TagBuild>& tags);

    MdxFile() = default;
    MdxFile(const MdxFile&) = delete;
    MdxFile& operator=(const MdxFile&) = delete;

    // `shared`: other users may change the file, so nothing is cached between operations and
    // every operation runs under the index lock.
    void open(const std::string& path, bool writable, bool shared);
    void close();
    bool isOpen() const { return file_.isOpen(); }
    const std::string& path() const { return path_; }
    uint8_t languageDriver() const { return languageDriver_; }

    const std::vector<MdxTag>& tags() const { return tags_; }

    // Whether the keys are in byte order, the order this engine keeps. An index another program
    // sorted by a language driver's collation is read in its stored order without checking it.
    void setByteOrder(bool byteOrder) { byteOrder_ = byteOrder; }
    bool isByteOrder() const { return byteOrder_; }
    int findTag(std::string_view name) const; // case-insensitive; -1 when missing

    // Positioning; each returns whether the cursor stands on an entry.
    bool first(int tag, MdxCursor& cursor);
    bool last(int tag, MdxCursor& cursor);
    bool next(MdxCursor& cursor);
    bool prior(MdxCursor& cursor);
    // The first entry whose key, cut to the length of `key`, is not before `key`.
    bool seek(int tag, std::string_view key, MdxCursor& cursor);
    // The entry of this key and record.
    bool locate(int tag, std::string_view key, uint32_t recno, MdxCursor& cursor);

    uint32_t recno(const MdxCursor& cursor) const;
    // The record of the entry `ahead` places on in the cursor's leaf, 0 when off the leaf: for
    // reading ahead.
    uint32_t recnoAhead(const MdxCursor& cursor, int ahead) const;
    std::string_view key(const MdxCursor& cursor) const;

    // Inserts after the keys equal to it (a unique tag keeps only the first of equal keys).
    void insert(int tag, std::string_view key, uint32_t recno);
    // Removes the entry; false when the tag holds no such entry.
    bool remove(int tag, std::string_view key, uint32_t recno);

    // Every entry in order, checking the tree on the way (order, pages, loops).
    void walk(int tag, const std::function<void(uint32_t recno, std::string_view key)>& visit);

    int compare(const MdxTag& tag, std::string_view a, std::string_view b) const;

private:
    struct Node;
    class Lock;

    void loadHeader();
    void readBlock(uint32_t page, std::vector<unsigned char>& block);
    void writeBlock(uint32_t page, const std::vector<unsigned char>& block);
    uint32_t allocateBlock();
    Node readNode(const MdxTag& tag, uint32_t page);
    void writeNode(const MdxTag& tag, uint32_t page, const Node& node);
    void refreshTag(int tag);
    void setRoot(int tag, uint32_t page);
    int entryCount(const MdxTag& tag, const std::vector<unsigned char>& block) const;
    bool isLeaf(const MdxTag& tag, const std::vector<unsigned char>& block) const;
    uint32_t childAt(const MdxTag& tag, const std::vector<unsigned char>& block, int i) const;
    void takeLeaf(const MdxTag& tag, uint32_t page, std::vector<unsigned char>& block, MdxCursor& cursor);
    bool descend(int tag, std::string_view key, bool upper, MdxCursor& cursor);
    bool edge(int tag, bool toLast, MdxCursor& cursor);
    bool stepLeaf(MdxCursor& cursor, bool forward);
    void insertIntoParent(int tag, std::vector<MdxCursor::Level> path, uint32_t left,
                          const std::string& separator, uint32_t right);
    [[noreturn]] void damaged(const std::string& what) const;

    File file_;
    std::string path_;
    bool writable_ = false;
    bool shared_ = false;
    uint8_t languageDriver_ = 0;
    uint32_t pageCount_ = 0;
    std::vector<MdxTag> tags_;
    std::unordered_map<uint32_t, std::vector<unsigned char>> cache_; // sole use only
    int lockDepth_ = 0;
    bool byteOrder_ = true;
    std::vector<unsigned char> header_;  // the file header as last read
    std::vector<unsigned char> scratch_; // a block being looked at
};

} // namespace dbase
