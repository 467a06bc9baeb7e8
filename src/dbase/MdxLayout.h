#pragma once

#include <cstddef>
#include <cstdint>

// The production index (.MDX), dBASE IV layout. Little-endian throughout. Page numbers count
// 512-byte pages (page N starts at byte N * 512); every node and tag header is one 1024-byte
// block, two pages, so their page numbers are even. Other dBASE readers assume these sizes
// without reading them from the header, so they are fixed here too.
//
// File header, pages 0..3 (bytes 0..2047):
//
//   OFFSET SIZE MEANING
//   0      1    version, 2
//   1      3    creation date: year - 1900, month, day
//   4      16   file name without extension, NUL-padded
//   20     2    block size in pages: 2
//   22     2    block size in bytes: 1024
//   24     1    production index flag: 1
//   25     1    tag slots: 48 (slot 0 is reserved, so at most 47 tags)
//   26     1    tag slot length: 32
//   28     2    tags in use
//   31     1    language driver, the same as byte 29 of the table (0 allowed)
//   32     4    pages in the file, which is also the next page to allocate
//   36     4    first free page (0: no free list)
//   40     4    free blocks (0)
//   44     3    last update date
//   512    32   tag slot 0, reserved; its byte 17 (file byte 529) is 1
//   544    32*n tag slots 1..47
//
// Tag slot (32 bytes):
//
//   OFFSET SIZE MEANING
//   0      4    page of the tag header
//   4      11   tag name, upper case, NUL-padded
//   15     1    0x00 expression tag, 0x10 tag on a plain field
//   16     3    links of the tag-name tree (left, right, parent slot); 0 = none
//   19     1    2
//   20     1    key type: C, N or D
//
// Tag header (one block):
//
//   OFFSET SIZE MEANING
//   0      4    root page
//   4      4    pages used by the tag
//   8      1    key format: 0x10 character, 0x08 descending, 0x20 distinct, 0x40 unique
//   9      1    key type: C, N or D
//   12     2    key length
//   14     2    most keys in a node: (1024 - 8) / entry length
//   16     2    1 for date keys, else 0
//   18     2    entry length: key length + 4, rounded up to a multiple of 4
//   20     2    version, 2
//   23     1    unique flag: 0, 1 unique, 0x21 distinct
//   24     220  key expression, NUL-terminated
//   245    1    1 when a FOR condition follows
//   246    1    1: the key expression is present
//
// Node (one block):
//
//   OFFSET SIZE MEANING
//   0      4    n, the number of keyed entries
//   4      4    previous block (0)
//   8      ...  entries of `entry length` bytes: a 4-byte number, then the key, zero-padded
//
// In a leaf the number is a record number and the entry after the last is all zero. In an
// inner node the number is a child page; entry i's key is the largest key under child i, and
// entry n holds only the page of the last child (its key bytes mean nothing). A node is inner
// when n < most keys and the number of entry n is not 0, so an inner node has at most
// `most keys - 1` keyed entries while a leaf may be full.
//
// Keys: character keys are the expression's bytes, compared as unsigned bytes (the tables are
// written with a binary collation). Numeric keys are 12-byte BCD: byte 0 is 0x34 + the decimal
// exponent (value = 0.d1d2... * 10^E), byte 1 the sign (0x80) and 4 * digits + 1, bytes 2..9
// up to 16 digits two to a byte, bytes 10..11 zero; zero is 0x34 0x01. Date keys are the
// Julian day number as an 8-byte double (0 for the empty date).
namespace dbase::mdx {

constexpr uint32_t kPageSize = 512;
constexpr uint32_t kBlockSize = 1024;
constexpr uint32_t kPagesPerBlock = kBlockSize / kPageSize;
constexpr uint32_t kHeaderPages = 4;

constexpr size_t kVersion = 0;
constexpr size_t kCreated = 1;
constexpr size_t kFileName = 4;
constexpr size_t kFileNameSize = 16;
constexpr size_t kBlockPages = 20;
constexpr size_t kBlockBytes = 22;
constexpr size_t kProductionFlag = 24;
constexpr size_t kTagSlots = 25;
constexpr size_t kTagSlotLength = 26;
constexpr size_t kTagsInUse = 28;
constexpr size_t kLanguageDriver = 31;
constexpr size_t kPageCount = 32;
constexpr size_t kFreePage = 36;
constexpr size_t kFreeBlocks = 40;
constexpr size_t kUpdated = 44;
constexpr size_t kSlotZeroMarker = 529;
constexpr size_t kTagTable = 512;

constexpr uint8_t kVersionValue = 2;
constexpr uint8_t kSlotCount = 48;
constexpr uint8_t kSlotLength = 32;
constexpr int kMaxTags = kSlotCount - 1;

constexpr size_t kSlotHeaderPage = 0;
constexpr size_t kSlotName = 4;
constexpr size_t kSlotNameSize = 11;
constexpr size_t kSlotKeyFormat = 15;
constexpr size_t kSlotLeft = 16;
constexpr size_t kSlotRight = 17;
constexpr size_t kSlotParent = 18;
constexpr size_t kSlotReserved = 19;
constexpr size_t kSlotKeyType = 20;
constexpr uint8_t kSlotExpressionTag = 0x00;
constexpr uint8_t kSlotFieldTag = 0x10;

constexpr size_t kTagRoot = 0;
constexpr size_t kTagPages = 4;
constexpr size_t kTagKeyFormat = 8;
constexpr size_t kTagKeyType = 9;
constexpr size_t kTagKeyLength = 12;
constexpr size_t kTagMaxKeys = 14;
constexpr size_t kTagDateKeys = 16;
constexpr size_t kTagEntryLength = 18;
constexpr size_t kTagVersion = 20;
constexpr size_t kTagUnique = 23;
constexpr size_t kTagExpression = 24;
constexpr size_t kTagExpressionSize = 220;
constexpr size_t kTagHasFor = 245;
constexpr size_t kTagHasExpression = 246;

constexpr uint8_t kFormatCharacter = 0x10;
constexpr uint8_t kFormatDescending = 0x08;
constexpr uint8_t kFormatDistinct = 0x20;
constexpr uint8_t kFormatUnique = 0x40;

constexpr size_t kNodeCount = 0;
constexpr size_t kNodePrevious = 4;
constexpr size_t kNodeEntries = 8;

constexpr int kNumericKeyLength = 12;
constexpr int kDateKeyLength = 8;
constexpr int kMaxDepth = 16; // far beyond any real tree; deeper means a loop

// The entry length and most keys of a node for a key length.
constexpr int entryLength(int keyLength) { return (keyLength + 4 + 3) & ~3; }
constexpr int maxKeys(int keyLength) {
    return static_cast<int>((kBlockSize - kNodeEntries) / static_cast<size_t>(entryLength(keyLength)));
}

} // namespace dbase::mdx
