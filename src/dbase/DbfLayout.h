#pragma once

#include <cstddef>
#include <cstdint>

// The .DBF file, dBASE III/IV layout.
//
// Header (32 bytes), then one 32-byte descriptor per field, then the terminator 0x0D,
// then the records, then the end-of-file byte 0x1A.
//
//   OFFSET SIZE MEANING
//   0      1    version: low three bits 3 for dBASE III/IV (0x03, 0x83 with memo, 0x8B ...)
//   1      3    date of last update: year - 1900, month, day
//   4      4    number of records, little-endian
//   8      2    header length: 32 + 32 * fields + 1 (+ any reserved bytes), little-endian
//   10     2    record length: 1 (deletion mark) + the widths of all fields, little-endian
//   12     2    reserved
//   14     1    incomplete-transaction flag
//   15     1    encryption flag
//   16     12   reserved for multi-user use
//   28     1    production index flag: 1 when a production .MDX belongs to the table
//   29     1    language driver id (code page)
//   30     2    reserved
//
// Field descriptor (32 bytes):
//
//   OFFSET SIZE MEANING
//   0      11   field name, ASCII, padded with NUL bytes
//   11     1    type letter: C N F D L M ...
//   12     4    reserved (field data address in some writers)
//   16     1    width
//   17     1    decimals
//   18     2    reserved
//   20     1    work area id
//   21     10   reserved
//   31     1    production index flag of the field (a tag on the field itself)
//
// Record: the deletion mark (' ' live, '*' deleted), then the fields' characters in order.
// C is left-aligned text padded with blanks, N and F right-aligned numbers, D eight characters
// YYYYMMDD (blanks for an empty date), L one of TtYyFfNn? or blank.
namespace dbase::layout {

constexpr size_t kHeaderSize = 32;
constexpr size_t kVersion = 0;
constexpr size_t kUpdateYear = 1;
constexpr size_t kUpdateMonth = 2;
constexpr size_t kUpdateDay = 3;
constexpr size_t kRecordCount = 4;
constexpr size_t kHeaderLength = 8;
constexpr size_t kRecordLength = 10;
constexpr size_t kMdxFlag = 28;
constexpr size_t kLanguageDriver = 29;

constexpr size_t kDescriptorSize = 32;
constexpr size_t kFieldName = 0;
constexpr size_t kFieldNameSize = 11;
constexpr size_t kFieldType = 11;
constexpr size_t kFieldWidth = 16;
constexpr size_t kFieldDecimals = 17;
constexpr size_t kFieldMdxFlag = 31;

constexpr uint8_t kHeaderTerminator = 0x0D;
constexpr uint8_t kEndOfFile = 0x1A;
constexpr uint8_t kLiveMark = ' ';
constexpr uint8_t kDeletedMark = '*';

constexpr uint8_t kVersionDbase = 0x03;        // dBASE III/IV without memo
constexpr uint8_t kLanguageDriver1252 = 0x57; // Windows ANSI (1252)

constexpr int kMaxFieldNameLength = 10;
constexpr int kMaxCharacterWidth = 254;
constexpr int kMaxNumericWidth = 20;
constexpr uint32_t kMaxRecordLength = 65535;

} // namespace dbase::layout
