#include "Table.h"

#include "Bytes.h"
#include "DbfLayout.h"
#include "File.h"
#include "IndexKey.h"
#include "MdxFile.h"
#include "MdxLayout.h"
#include "NumberText.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace dbase {

namespace {

constexpr size_t kCacheBytes = 256 * 1024;

using bytes::get16;
using bytes::get32;
using bytes::put16;
using bytes::put32;

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i])) return false;
    return true;
}

std::string inQuotes(std::string_view value) { return "'" + std::string(value) + "'"; }

void stampToday(unsigned char* header) {
    using namespace std::chrono;
    const year_month_day today{floor<days>(system_clock::now())};
    header[layout::kUpdateYear] = static_cast<unsigned char>(static_cast<int>(today.year()) - 1900);
    header[layout::kUpdateMonth] = static_cast<unsigned char>(static_cast<unsigned>(today.month()));
    header[layout::kUpdateDay] = static_cast<unsigned char>(static_cast<unsigned>(today.day()));
}

bool isKnownType(char t) {
    return t == 'C' || t == 'N' || t == 'F' || t == 'D' || t == 'L' || t == 'M' || t == 'B' ||
           t == 'G' || t == 'P';
}

void validateFieldDefs(const std::string& path, const std::vector<FieldDef>& fields) {
    if (fields.empty() || fields.size() > 255)
        throw Error("Cannot create " + path + ": a table needs 1 to 255 fields");
    uint32_t length = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& f = fields[i];
        const std::string where = "Cannot create " + path + ": field " + inQuotes(f.name);
        if (f.name.empty() || f.name.size() > layout::kMaxFieldNameLength)
            throw Error(where + " needs a name of 1 to 10 characters");
        for (char c : f.name)
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '_'))
                throw Error(where + " has a character that is not allowed in a field name");
        for (size_t j = 0; j < i; ++j)
            if (sameName(fields[j].name, f.name)) throw Error(where + " is defined twice");
        bool ok = false;
        switch (f.type) {
        case 'C': ok = f.width >= 1 && f.width <= layout::kMaxCharacterWidth && f.decimals == 0; break;
        case 'N':
        case 'F':
            ok = f.width >= 1 && f.width <= layout::kMaxNumericWidth && f.decimals >= 0 &&
                 (f.decimals == 0 || f.decimals <= f.width - 2);
            break;
        case 'D': ok = f.width == 8 && f.decimals == 0; break;
        case 'L': ok = f.width == 1 && f.decimals == 0; break;
        default: ok = false;
        }
        if (!ok) throw Error(where + " has an invalid type, width or decimals");
        length += static_cast<uint32_t>(f.width);
    }
    if (length > layout::kMaxRecordLength) throw Error("Cannot create " + path + ": records too long");
}

// Windows code pages of the language driver ids met in dBASE files.
// Language drivers whose text order is the order of the bytes. Other drivers sort by a
// collation of their own, which this engine does not keep.
bool sortsByBytes(uint8_t driver) { return driver == 0 || driver == layout::kLanguageDriver1252; }

int codePageOf(uint8_t driver) {
    switch (driver) {
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18:
    case 0x19: case 0x1B: return 437;
    case 0x02: case 0x0A: case 0x0C: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16:
    case 0x1A: case 0x1D: case 0x37: return 850;
    case 0x03: case 0x57: case 0x58: case 0x59: case 0x61: case 0x62: return 1252;
    case 0x64: case 0x1F: case 0x22: case 0x23: case 0x87: return 852;
    case 0x65: case 0x26: return 866;
    case 0xC8: return 1250;
    case 0xC9: return 1251;
    case 0xCA: return 1254;
    case 0xCB: return 1253;
    default: return 0;
    }
}

} // namespace

struct Table::Impl {
    File file;
    // A window of consecutive records read in one go; passes over the table read from here.
    std::vector<char> cache;
    uint32_t cacheFirst = 0;
    uint32_t cacheCount = 0;
    Record candidate; // the record a filter or a scan is looking at
    bool modified = false;
    bool recordLocked = false;
    bool tailCut = false;      // nothing follows the last record (exclusive use)
    std::string appendBuffer; // a record and the end-of-file byte

    Mapping map; // the records known when it was made, for reading out of order

    MdxFile mdx;
    MdxCursor cursor;         // where the current record stands in the selected tag
    bool cursorStale = true;  // the tag changed since, or the cursor is off its entry
    Record scratch;           // the record before an edit, for its old keys
    std::string key;

    void dropCache() { cacheCount = 0; }
};

FieldDef columnFor(const ColumnDef& column) {
    switch (column.kind) {
    case ColumnKind::Character: return FieldDef{column.name, 'C', column.width, 0, 0};
    case ColumnKind::Integer: return FieldDef{column.name, 'N', 11, 0, 0};
    case ColumnKind::Float: return FieldDef{column.name, 'N', 20, 4, 0};
    case ColumnKind::Date: return FieldDef{column.name, 'D', 8, 0, 0};
    }
    return {};
}

Table::Table() : impl_(std::make_unique<Impl>()) {}

Table::~Table() {
    try {
        close();
    } catch (...) {
        // A destructor cannot report; close() explicitly to see the error.
    }
}

// ---------------------------------------------------------------------------------------------
// Creating

void Table::create(const std::string& path, const std::vector<ColumnDef>& columns) {
    std::vector<FieldDef> fields;
    fields.reserve(columns.size());
    for (const ColumnDef& c : columns) fields.push_back(columnFor(c));
    create(path, fields);
}

void Table::create(const std::string& path, const std::vector<FieldDef>& fields) {
    validateFieldDefs(path, fields);
    const std::string folder = folderOf(path);

    // Never replace a table someone has open.
    {
        File existing;
        if (existing.tryOpen(path, File::Mode::ReadWrite) &&
            !existing.tryLock(lock_range::kWholeFileStart, lock_range::kWholeFileLength, true))
            throw LockError("Cannot replace " + path + ": the table is in use");
    }

    const size_t headerLength = layout::kHeaderSize + fields.size() * layout::kDescriptorSize + 1;
    std::vector<unsigned char> bytes(headerLength + 1, 0);
    unsigned char* h = bytes.data();
    h[layout::kVersion] = layout::kVersionDbase;
    stampToday(h);
    put32(h + layout::kRecordCount, 0);
    put16(h + layout::kHeaderLength, static_cast<uint32_t>(headerLength));
    uint32_t recordLength = 1;
    for (const FieldDef& f : fields) recordLength += static_cast<uint32_t>(f.width);
    put16(h + layout::kRecordLength, recordLength);
    h[layout::kLanguageDriver] = layout::kLanguageDriver1252;
    for (size_t i = 0; i < fields.size(); ++i) {
        unsigned char* d = h + layout::kHeaderSize + i * layout::kDescriptorSize;
        std::memcpy(d + layout::kFieldName, fields[i].name.data(), fields[i].name.size());
        d[layout::kFieldType] = static_cast<unsigned char>(fields[i].type);
        d[layout::kFieldWidth] = static_cast<unsigned char>(fields[i].width);
        d[layout::kFieldDecimals] = static_cast<unsigned char>(fields[i].decimals);
    }
    bytes[headerLength - 1] = layout::kHeaderTerminator;
    bytes[headerLength] = layout::kEndOfFile;

    const std::string temp = path + ".new";
    std::filesystem::remove(temp);
    File out;
    out.open(temp, File::Mode::CreateNew);
    try {
        out.writeAt(bytes.data(), bytes.size(), 0);
        out.sync();
    } catch (...) {
        out.close();
        std::filesystem::remove(temp);
        throw;
    }
    out.close();
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp);
        throw Error("Cannot create " + path + ": " + ec.message());
    }
    syncFolder(folder);

    // An index left by the table this one replaces would describe records that are gone.
    if (auto mdx = findFileIgnoringCase(folder, tableNameOf(path) + ".MDX"))
        std::filesystem::remove(*mdx, ec);
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

void Table::open(const std::string& folder, const std::string& name, ShareMode share,
                 Access access) {
    std::string dir = folder;
    if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    const auto found = findFileIgnoringCase(dir, name + ".DBF");
    openFile(found ? *found : dir + name + ".DBF", share, access);
}

void Table::openFile(const std::string& path, ShareMode share, Access access) {
    close();
    File& file = impl_->file;
    const bool writable = access == Access::ReadWrite;
    // An exclusive lock needs a descriptor open for writing, even for reading alone.
    bool canWrite = writable || share == ShareMode::Exclusive;
    if (!file.tryOpen(path, canWrite ? File::Mode::ReadWrite : File::Mode::Read)) {
        if (writable || !file.tryOpen(path, File::Mode::Read))
            file.open(path, writable ? File::Mode::ReadWrite : File::Mode::Read);
        canWrite = false;
    }
    const bool locked =
        share == ShareMode::Exclusive
            ? file.tryLock(lock_range::kWholeFileStart, lock_range::kWholeFileLength, canWrite)
            : file.tryLock(lock_range::kOpenMarker, 1, false);
    if (!locked) {
        file.close();
        throw LockError(share == ShareMode::Exclusive
                            ? "Cannot open " + path + " for exclusive use: the table is in use"
                            : "Cannot open " + path + ": the table is in exclusive use");
    }
    path_ = path;
    share_ = share;
    access_ = access;
    try {
        loadHeader();
    } catch (...) {
        file.close();
        path_.clear();
        throw;
    }
    impl_->modified = false;
    impl_->recordLocked = false;
    current_ = Record(fields_, &dateFormat_);
    impl_->candidate = Record(fields_, &dateFormat_);
    impl_->scratch = Record(fields_, &dateFormat_);
    try {
        openIndex();
    } catch (...) {
        file.close();
        path_.clear();
        throw;
    }
    state_ = State::Browse;
    first();
}

void Table::close() {
    if (state_ == State::Closed) return;
    if (state_ == State::Edit || state_ == State::Insert) cancel();
    File& file = impl_->file;
    std::string error;
    if (impl_->modified && access_ == Access::ReadWrite) {
        try {
            writeHeaderUpdate();
        } catch (const Error& e) {
            error = e.what();
        }
    }
    impl_->map.reset();
    file.close();
    impl_->mdx.close();
    tagExpressions_.clear();
    selectedTag_ = -1;
    selectedName_.clear();
    state_ = State::Closed;
    impl_->dropCache();
    impl_->modified = false;
    recno_ = 0;
    bof_ = eof_ = true;
    if (!error.empty()) throw Error(error);
}

// Validates the header and field descriptors and finds the number of records present.
void Table::loadHeader() {
    File& file = impl_->file;
    const uint64_t size = file.size();
    if (size < layout::kHeaderSize + layout::kDescriptorSize + 1)
        throw Error(path_ + " is not a dBASE table: the file is too short");
    unsigned char h[layout::kHeaderSize];
    file.readExact(h, sizeof h, 0);
    const uint8_t version = h[layout::kVersion];
    if ((version & 0x07) != 0x03 && version != 0xF5 && version != 0x30 && version != 0x31)
        throw Error(path_ + " is not a dBASE table: unknown version byte");
    const uint16_t headerLength = get16(h + layout::kHeaderLength);
    const uint16_t recordLength = get16(h + layout::kRecordLength);
    const uint32_t headerCount = get32(h + layout::kRecordCount);
    if (headerLength < layout::kHeaderSize + layout::kDescriptorSize + 1 || headerLength > size)
        throw Error(path_ + " is damaged: the header length is wrong");
    if (recordLength < 2) throw Error(path_ + " is damaged: the record length is wrong");

    std::vector<unsigned char> header(headerLength);
    file.readExact(header.data(), header.size(), 0);
    auto fields = std::make_shared<std::vector<FieldDef>>();
    size_t pos = layout::kHeaderSize;
    int offset = 1;
    bool terminated = false;
    while (pos < headerLength) {
        if (header[pos] == layout::kHeaderTerminator) {
            terminated = true;
            break;
        }
        if (pos + layout::kDescriptorSize > headerLength) break;
        const unsigned char* d = header.data() + pos;
        FieldDef f;
        size_t nameLength = 0;
        while (nameLength < layout::kFieldNameSize && d[nameLength] != 0) ++nameLength;
        f.name.assign(reinterpret_cast<const char*>(d), nameLength);
        f.type = upperAscii(static_cast<char>(d[layout::kFieldType]));
        f.width = d[layout::kFieldWidth];
        f.decimals = d[layout::kFieldDecimals];
        // Character fields wider than 255 keep the high byte of the width in the decimals.
        if (f.type == 'C') {
            f.width += f.decimals * 256;
            f.decimals = 0;
        }
        const bool printableName =
            !f.name.empty() && std::all_of(f.name.begin(), f.name.end(), [](char c) {
                return static_cast<unsigned char>(c) > 32 && static_cast<unsigned char>(c) < 127;
            });
        if (!printableName || !isKnownType(f.type) || f.width == 0)
            throw Error(path_ + " is damaged: field " + std::to_string(fields->size() + 1) +
                        " has a bad descriptor");
        f.offset = offset;
        offset += f.width;
        fields->push_back(std::move(f));
        pos += layout::kDescriptorSize;
    }
    if (!terminated) throw Error(path_ + " is damaged: the field list is not terminated");
    if (fields->empty()) throw Error(path_ + " is not a dBASE table: it has no fields");
    if (offset != recordLength)
        throw Error(path_ + " is damaged: the record length does not match the fields");

    const uint64_t present = (size - headerLength) / recordLength;
    if (headerCount > present)
        throw Error(path_ + " is damaged: the header counts " + std::to_string(headerCount) +
                    " records but the file holds " + std::to_string(present));

    version_ = version;
    headerLength_ = headerLength;
    recordLength_ = recordLength;
    languageDriver_ = h[layout::kLanguageDriver];
    mdxFlag_ = h[layout::kMdxFlag];
    lastUpdate_ = Date{h[layout::kUpdateYear] + 1900, h[layout::kUpdateMonth], h[layout::kUpdateDay]};
    if (!lastUpdate_.isValid()) lastUpdate_ = Date{};
    fields_ = std::move(fields);
    impl_->dropCache();
    impl_->tailCut = false;
    recordCount_ = headerCount;
    syncRecordCount();

    if (mdxFlag_ != 0) {
        const std::string folder = folderOf(path_);
        const std::string stem = tableNameOf(path_);
        if (!findFileIgnoringCase(folder, stem + ".MDX"))
            throw Error("The production index " + folder + stem + ".MDX of " + path_ +
                        " is missing");
    }
}

// The records present: the header's count, and after it every whole record that a writer
// appended without getting to update the count (a crash between the two writes). A record is
// taken only when it starts with a deletion mark, so trailing bytes that are not records (an
// end-of-file byte, padding) never become records.
void Table::syncRecordCount() {
    File& file = impl_->file;
    unsigned char h[layout::kHeaderSize];
    file.readExact(h, sizeof h, 0);
    uint32_t count = get32(h + layout::kRecordCount);
    const uint64_t present = (file.size() - headerLength_) / recordLength_;
    while (count < present) {
        unsigned char mark = 0;
        file.readAt(&mark, 1, headerLength_ + uint64_t(count) * recordLength_);
        if (mark != layout::kLiveMark && mark != layout::kDeletedMark) break;
        ++count;
    }
    recordCount_ = count;
}

// Writes the date of this change and, for the sole user, the record count: shared writers keep
// the count right as they append, an exclusive one writes it when it is done.
void Table::writeHeaderUpdate() {
    File& file = impl_->file;
    const bool shared = share_ == ShareMode::Shared;
    if (shared) file.waitLock(lock_range::kHeader, lock_range::kHeaderLength, true);
    try {
        unsigned char h[layout::kHeaderSize];
        file.readExact(h, sizeof h, 0);
        if (!shared) put32(h + layout::kRecordCount, recordCount_);
        stampToday(h);
        file.writeAt(h + layout::kUpdateYear, 7, layout::kUpdateYear);
    } catch (...) {
        if (shared) file.unlock(lock_range::kHeader, lock_range::kHeaderLength);
        throw;
    }
    if (shared) file.unlock(lock_range::kHeader, lock_range::kHeaderLength);
}

int Table::codePage() const { return codePageOf(languageDriver_); }

void Table::requireOpen() const {
    if (state_ == State::Closed) throw Error("The table is not open");
}

void Table::requireWritable() const {
    requireOpen();
    if (access_ == Access::ReadOnly) throw Error("Cannot modify " + path_ + ": it is open read-only");
}

void Table::requireEditing(const char* operation) const {
    if (state_ != State::Edit && state_ != State::Insert)
        throw Error(std::string("Cannot ") + operation + ": the table is not being edited");
}

// ---------------------------------------------------------------------------------------------
// Fields

const FieldDef& Table::field(int index) const {
    requireOpen();
    if (index < 0 || index >= fieldCount())
        throw Error("Field number " + std::to_string(index + 1) + " does not exist in " + path_);
    return (*fields_)[static_cast<size_t>(index)];
}

int Table::findField(std::string_view name) const {
    if (!fields_) return -1;
    for (size_t i = 0; i < fields_->size(); ++i)
        if (sameName((*fields_)[i].name, name)) return static_cast<int>(i);
    return -1;
}

int Table::fieldIndex(std::string_view name) const {
    requireOpen();
    const int index = findField(name);
    if (index < 0) throw Error("Field " + inQuotes(name) + " not found in " + path_);
    return index;
}

void Table::setDateFormat(const DateFormat& format) { dateFormat_ = format; }

std::string Table::text(int index) const {
    field(index); // throws for a field that does not exist
    return current_.text(index);
}

double Table::number(int index) const {
    field(index);
    return current_.number(index);
}

Date Table::date(int index) const {
    field(index);
    return current_.date(index);
}

// ---------------------------------------------------------------------------------------------
// Reading records

// Reads record recno into the candidate, from the cache when it holds it. Returns false when
// the record is past the end of the file.
bool Table::readRecord(uint32_t recno, bool forceDisk, bool sequential) {
    Impl& d = *impl_;
    std::string& bytes = d.candidate.bytes();
    bytes.resize(recordLength_);
    if (recno < 1 || recno > recordCount_) return false;
    const bool cached = recno >= d.cacheFirst && recno < d.cacheFirst + d.cacheCount;
    if (!sequential && !forceDisk && !cached) {
        // Index order jumps about the file: take just this record, from the mapped file when
        // it covers it (a system call per record would cost more than the record).
        const uint64_t offset = headerLength_ + uint64_t(recno - 1) * recordLength_;
        if (bulkReading_ && offset + recordLength_ > d.map.length()) mapRecords();
        // A record the mapping cannot give (the file was cut under us) is read from the file,
        // which reports the damage as an error.
        if (!d.map.copy(bytes.data(), offset, recordLength_))
            d.file.readExact(bytes.data(), recordLength_, offset);
        return true;
    }
    if (forceDisk || !cached) {
        if (forceDisk) {
            d.file.readExact(bytes.data(), recordLength_, headerLength_ + uint64_t(recno - 1) * recordLength_);
            d.dropCache();
            return true;
        }
        const uint32_t perCache = std::max<uint32_t>(1, kCacheBytes / recordLength_);
        // Centre nothing: a pass runs forwards or backwards, so read in the direction of travel.
        uint32_t start = recno;
        if (recno + 1 == d.cacheFirst && recno > perCache) start = recno - perCache + 1;
        else if (recno + 1 == d.cacheFirst) start = 1;
        const uint32_t count = std::min(perCache, recordCount_ - start + 1);
        d.cache.resize(size_t(count) * recordLength_);
        const size_t got =
            d.file.readAt(d.cache.data(), d.cache.size(), headerLength_ + uint64_t(start - 1) * recordLength_);
        d.cacheFirst = start;
        d.cacheCount = static_cast<uint32_t>(got / recordLength_);
        if (recno >= d.cacheFirst + d.cacheCount) {
            d.dropCache();
            throw Error(path_ + " is damaged: record " + std::to_string(recno) + " cannot be read");
        }
    }
    std::memcpy(bytes.data(), d.cache.data() + size_t(recno - d.cacheFirst) * recordLength_, recordLength_);
    return true;
}

void Table::setBulkReading(bool on) {
    bulkReading_ = on;
    if (!on) impl_->map.reset();
}

// Maps the records counted so far. Records others append later are read from the file until
// the next remap; no one cuts a table while it is open (packing needs sole use).
void Table::mapRecords() {
    Impl& d = *impl_;
    const uint64_t wanted = headerLength_ + uint64_t(recordCount_) * recordLength_;
    if (wanted <= d.map.length()) return;
    // With room to grow, so a table that others fill while it is read is not remapped per
    // record. The room past the end of the file is never read before records fill it.
    d.map.map(d.file, wanted + wanted / 8);
}

bool Table::visible(uint32_t recno, bool sequential) {
    if (!readRecord(recno, false, sequential)) return false;
    const Record& r = impl_->candidate;
    if (r.isDeleted()) return false;
    return !filter_ || filter_(r);
}

uint32_t Table::scanFrom(uint32_t start, int step) {
    for (int64_t r = start; r >= 1 && r <= recordCount_; r += step)
        if (visible(static_cast<uint32_t>(r))) return static_cast<uint32_t>(r);
    return 0;
}

// Makes recno (already read into the candidate) the current record.
void Table::positionOn(uint32_t recno) {
    recno_ = recno;
    current_.bytes() = impl_->candidate.bytes();
}

void Table::clearPosition() {
    recno_ = 0;
    current_.bytes().assign(recordLength_, ' ');
    bof_ = eof_ = true;
}

// The first (or last) visible record in the current order; 0 when there is none. The
// candidate holds it, and in index order the cursor stands on its entry.
uint32_t Table::firstInOrder(bool fromEnd) {
    if (!indexed()) return scanFrom(fromEnd ? recordCount_ : 1, fromEnd ? -1 : 1);
    Impl& d = *impl_;
    const bool on = fromEnd ? d.mdx.last(selectedTag_, d.cursor) : d.mdx.first(selectedTag_, d.cursor);
    return walkIndex(on, fromEnd ? -1 : 1);
}

// The next (step 1) or previous (step -1) visible record after the current one.
uint32_t Table::stepInOrder(int step) {
    if (!indexed()) {
        if (step < 0 && recno_ <= 1) return 0;
        return scanFrom(recno_ + static_cast<uint32_t>(step), step);
    }
    Impl& d = *impl_;
    if (d.cursorStale) locateCurrent();
    const bool on = step > 0 ? d.mdx.next(d.cursor) : d.mdx.prior(d.cursor);
    return walkIndex(on, step);
}

uint32_t Table::walkIndex(bool onEntry, int step) {
    Impl& d = *impl_;
    for (bool on = onEntry; on; on = step > 0 ? d.mdx.next(d.cursor) : d.mdx.prior(d.cursor)) {
        const uint32_t r = d.mdx.recno(d.cursor);
        checkIndexedRecord(r);
        // The records of the entries a little ahead lie anywhere in the file: ask for them now,
        // so they are in the processor's cache when their turn comes.
        if (const uint32_t ahead = d.mdx.recnoAhead(d.cursor, 6 * step); ahead != 0) {
            const uint64_t offset = headerLength_ + uint64_t(ahead - 1) * recordLength_;
            if (offset + recordLength_ <= d.map.length()) __builtin_prefetch(d.map.data() + offset);
        }
        if (visible(r, false)) {
            d.cursorStale = false;
            return r;
        }
    }
    // Off the end: the cursor no longer stands on the current record's entry.
    d.cursorStale = true;
    return 0;
}

// A record number from the index must name a record of the table. Another user may have
// appended it a moment ago; otherwise the index does not belong to these records.
void Table::checkIndexedRecord(uint32_t recno) {
    if (recno >= 1 && recno <= recordCount_) return;
    if (share_ == ShareMode::Shared) {
        syncRecordCount();
        if (recno >= 1 && recno <= recordCount_) return;
    }
    throw Error("The index " + impl_->mdx.path() + " names record " + std::to_string(recno) + " but " +
                path_ + " holds " + std::to_string(recordCount_) + "; rebuild the indexes");
}

// Puts the index cursor on the entry of the current record.
void Table::locateCurrent() {
    Impl& d = *impl_;
    if (recno_ == 0) return;
    tagExpressions_[static_cast<size_t>(selectedTag_)].evaluate(current_, d.key);
    if (!d.mdx.locate(selectedTag_, d.key, recno_, d.cursor))
        throw Error("Record " + std::to_string(recno_) + " of " + path_ + " is missing from the index " +
                    d.mdx.path() + "; rebuild the indexes");
    d.cursorStale = false;
}

void Table::first() {
    requireOpen();
    if (state_ != State::Browse) post();
    if (const uint32_t r = firstInOrder(false)) {
        positionOn(r);
        bof_ = true;
        eof_ = false;
    } else {
        clearPosition();
    }
}

void Table::last() {
    requireOpen();
    if (state_ != State::Browse) post();
    if (const uint32_t r = firstInOrder(true)) {
        positionOn(r);
        bof_ = false;
        eof_ = true;
    } else {
        clearPosition();
    }
}

void Table::next() {
    requireOpen();
    if (state_ != State::Browse) post();
    if (eof_) return;
    if (const uint32_t r = stepInOrder(1)) {
        positionOn(r);
        bof_ = false;
    } else {
        eof_ = true;
    }
}

void Table::prior() {
    requireOpen();
    if (state_ != State::Browse) post();
    if (bof_) return;
    if (const uint32_t r = stepInOrder(-1)) {
        positionOn(r);
        eof_ = false;
    } else {
        bof_ = true;
    }
}

bool Table::isEmpty() const { return recno_ == 0; }

bool Table::isDeleted() const { return current_.isDeleted(); }

void Table::gotoBookmark(Bookmark bookmark) {
    requireOpen();
    if (state_ != State::Browse) post();
    if (!bookmark || !readRecord(bookmark.recno, false, false))
        throw Error("Record " + std::to_string(bookmark.recno) + " not found in " + path_);
    positionOn(bookmark.recno);
    bof_ = eof_ = false;
    impl_->cursorStale = true;
}

Bookmark Table::scanForward(const Filter& found) {
    requireOpen();
    if (!indexed()) {
        for (uint32_t r = recno_ + 1; r <= recordCount_; ++r) {
            if (!visible(r)) continue;
            if (found(impl_->candidate)) return Bookmark{r};
        }
        return {};
    }
    Impl& d = *impl_;
    if (recno_ == 0) return {};
    if (d.cursorStale) locateCurrent();
    MdxCursor ahead = d.cursor; // the visible cursor stays where it is
    while (d.mdx.next(ahead)) {
        const uint32_t r = d.mdx.recno(ahead);
        checkIndexedRecord(r);
        if (visible(r, false) && found(d.candidate)) return Bookmark{r};
    }
    return {};
}

uint32_t Table::countVisible() {
    requireOpen();
    uint32_t n = 0;
    for (uint32_t r = 1; r <= recordCount_; ++r)
        if (visible(r)) ++n;
    return n;
}

uint32_t Table::countDeleted() {
    requireOpen();
    uint32_t n = 0;
    for (uint32_t r = 1; r <= recordCount_; ++r)
        if (readRecord(r) && impl_->candidate.isDeleted()) ++n;
    return n;
}

uint32_t Table::firstBadRecord() {
    requireOpen();
    for (uint32_t r = 1; r <= recordCount_; ++r) {
        readRecord(r);
        const char mark = impl_->candidate.bytes()[0];
        if (mark != char(layout::kLiveMark) && mark != char(layout::kDeletedMark)) return r;
    }
    return 0;
}

void Table::setFilter(Filter filter) {
    requireOpen();
    filter_ = std::move(filter);
}

void Table::refresh() {
    requireOpen();
    if (state_ != State::Browse) post();
    impl_->dropCache();
    syncRecordCount();
    const uint32_t at = recno_;
    if (at != 0 && visible(at, false)) {
        positionOn(at);
        impl_->cursorStale = true;
        return;
    }
    // The current record left the view: go on to the next one, or the last before it. When
    // neither exists the view is empty, and looking again from the start would only walk the
    // whole table once more.
    uint32_t r = 0;
    bool searched = false;
    // Whether the view holds any record at all is quickest to learn in record order, reading
    // the file front to back and stopping at the first: an empty view (a search that finds
    // nothing) is then known without a walk through the whole index.
    if (at != 0 && scanFrom(1, 1) == 0) {
        clearPosition();
        return;
    }
    if (at != 0) {
        // With a narrow filter the nearest record in the view may lie far away: read as a pass
        // does for this walk.
        const bool wasBulk = bulkReading_;
        bulkReading_ = true;
        try {
            r = stepInOrder(1);
            if (r == 0) r = stepInOrder(-1);
            searched = true;
        } catch (const Error&) {
            r = 0; // its old key is gone from the index too
        }
        setBulkReading(wasBulk);
    }
    if (r != 0) {
        positionOn(r);
        bof_ = eof_ = false;
    } else if (searched) {
        clearPosition();
    } else {
        first();
    }
}

// ---------------------------------------------------------------------------------------------
// Editing

void Table::edit() {
    requireWritable();
    if (state_ == State::Edit || state_ == State::Insert) return;
    requireIndexUsable();
    if (recno_ == 0) throw Error("Cannot edit: there is no current record");
    File& file = impl_->file;
    if (share_ == ShareMode::Shared) {
        if (!file.tryLock(lock_range::record(recno_), 1, true))
            throw LockError("Record " + std::to_string(recno_) + " is locked by another user");
        impl_->recordLocked = true;
    }
    // Edit what is on disk now: another user may have changed the record since we read it.
    try {
        readRecord(recno_, true);
    } catch (...) {
        if (impl_->recordLocked) file.unlock(lock_range::record(recno_), 1);
        impl_->recordLocked = false;
        throw;
    }
    positionOn(recno_);
    saved_ = current_.bytes();
    state_ = State::Edit;
}

void Table::insert() {
    requireWritable();
    requireIndexUsable();
    if (state_ != State::Browse) post();
    saved_ = current_.bytes();
    current_.bytes().assign(recordLength_, ' ');
    state_ = State::Insert;
}

void Table::post() {
    requireOpen();
    if (state_ == State::Browse) return;
    const bool editing = state_ == State::Edit;
    movedInOrder_ = !editing; // a new record takes a place of its own
    if (editing)
        writeCurrent(recno_);
    else
        recno_ = appendCurrent();
    state_ = State::Browse;
    impl_->modified = true;
    if (!editing) bof_ = eof_ = false;
    // The record is saved; its keys follow, still under the record lock.
    try {
        updateKeys(editing ? &saved_ : nullptr, recno_);
    } catch (...) {
        if (impl_->recordLocked) impl_->file.unlock(lock_range::record(recno_), 1);
        impl_->recordLocked = false;
        throw;
    }
    if (impl_->recordLocked) impl_->file.unlock(lock_range::record(recno_), 1);
    impl_->recordLocked = false;
}

void Table::cancel() {
    requireOpen();
    if (state_ == State::Browse) return;
    if (impl_->recordLocked) impl_->file.unlock(lock_range::record(recno_), 1);
    impl_->recordLocked = false;
    current_.bytes() = saved_;
    state_ = State::Browse;
}

void Table::remove() {
    requireWritable();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (recno_ == 0) throw Error("Cannot delete: there is no current record");
    if (state_ == State::Browse) edit();
    current_.bytes()[0] = static_cast<char>(layout::kDeletedMark);
    post();
    // The index keeps the deleted record's key, so the cursor can step on from its entry.
    if (const uint32_t r = stepInOrder(1)) {
        positionOn(r);
        bof_ = eof_ = false;
    } else if (const uint32_t p = stepInOrder(-1)) {
        positionOn(p);
        bof_ = false;
        eof_ = true;
    } else {
        clearPosition();
    }
}

void Table::writeCurrent(uint32_t recno) {
    const uint64_t offset = headerLength_ + uint64_t(recno - 1) * recordLength_;
    impl_->file.writeAt(current_.bytes().data(), recordLength_, offset);
    impl_->dropCache();
}

// Appends the current buffer as a new record under the header lock and returns its number.
uint32_t Table::appendCurrent() {
    File& file = impl_->file;
    const bool shared = share_ == ShareMode::Shared;
    if (shared) file.waitLock(lock_range::kHeader, lock_range::kHeaderLength, true);
    try {
        // Another user may have appended since we last looked.
        if (shared) syncRecordCount();
        const uint32_t recno = recordCount_ + 1;
        current_.bytes()[0] = static_cast<char>(layout::kLiveMark);
        std::string& out = impl_->appendBuffer;
        out = current_.bytes();
        out.push_back(static_cast<char>(layout::kEndOfFile));
        const uint64_t offset = headerLength_ + uint64_t(recordCount_) * recordLength_;
        file.writeAt(out.data(), out.size(), offset);
        // Cut what a crashed writer may have left after the last record. The sole user of the
        // table needs to look only once: after that only it appends.
        if (shared || !impl_->tailCut) {
            if (file.size() > offset + out.size()) file.truncate(offset + out.size());
            impl_->tailCut = !shared;
        }
        recordCount_ = recno;
        if (shared) {
            unsigned char h[layout::kHeaderSize];
            file.readExact(h, sizeof h, 0);
            put32(h + layout::kRecordCount, recno);
            stampToday(h);
            file.writeAt(h + layout::kUpdateYear, 7, layout::kUpdateYear);
            file.unlock(lock_range::kHeader, lock_range::kHeaderLength);
        }
        impl_->dropCache();
        return recno;
    } catch (...) {
        if (shared) file.unlock(lock_range::kHeader, lock_range::kHeaderLength);
        throw;
    }
}

void Table::setText(int index, std::string_view text) {
    requireEditing("assign a field");
    const FieldDef& f = field(index);
    std::string& bytes = current_.bytes();
    char* at = bytes.data() + f.offset;
    const auto width = static_cast<size_t>(f.width);
    auto invalid = [&](const char* what) {
        return Error(inQuotes(text) + " is not " + what + " for field " + f.name);
    };
    std::string_view trimmed = text;
    while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);

    switch (f.type) {
    case 'C': {
        std::string_view value = text;
        while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
        if (value.size() > width)
            throw Error(inQuotes(text) + " is too long for field " + f.name + " (" +
                        std::to_string(f.width) + " characters)");
        std::memset(at, ' ', width);
        std::memcpy(at, value.data(), value.size());
        return;
    }
    case 'N':
    case 'F': {
        if (trimmed.empty()) {
            std::memset(at, ' ', width);
            return;
        }
        if (f.decimals == 0 && !number_text::isWholeNumber(trimmed)) throw invalid("a whole number");
        const auto value = number_text::parse(trimmed);
        if (!value) throw invalid("a number");
        const auto stored = number_text::formatForField(*value, f.width, f.decimals);
        if (!stored) throw Error(inQuotes(text) + " does not fit field " + f.name);
        std::memcpy(at, stored->data(), stored->size());
        return;
    }
    case 'D': {
        if (trimmed.empty()) {
            std::memset(at, ' ', width);
            return;
        }
        const auto date = dateFormat_.parse(trimmed);
        if (!date) throw invalid("a valid date");
        setDate(index, *date);
        return;
    }
    case 'L': {
        const std::string upper = [&] {
            std::string u(trimmed);
            for (char& c : u) c = upperAscii(c);
            return u;
        }();
        if (upper.empty()) *at = ' ';
        else if (upper == "T" || upper == "TRUE" || upper == "Y" || upper == "YES") *at = 'T';
        else if (upper == "F" || upper == "FALSE" || upper == "N" || upper == "NO") *at = 'F';
        else throw invalid("a logical value");
        return;
    }
    default: throw Error("Field " + f.name + " cannot be assigned as text");
    }
}

void Table::setInteger(int index, int64_t value) { setNumber(index, static_cast<double>(value)); }

void Table::setNumber(int index, double value) {
    requireEditing("assign a field");
    const FieldDef& f = field(index);
    if (f.type != 'N' && f.type != 'F') throw Error("Field " + f.name + " does not hold numbers");
    const auto text = number_text::formatForField(value, f.width, f.decimals);
    if (!text) {
        std::string shown;
        number_text::appendShortest(std::to_string(value), shown);
        throw Error(inQuotes(shown) + " does not fit field " + f.name);
    }
    std::memcpy(current_.bytes().data() + f.offset, text->data(), text->size());
}

void Table::setDate(int index, const Date& value) {
    requireEditing("assign a field");
    const FieldDef& f = field(index);
    if (f.type != 'D') throw Error("Field " + f.name + " does not hold dates");
    if (!value.isValid())
        throw Error(inQuotes(std::to_string(value.year) + "-" + std::to_string(value.month) + "-" +
                           std::to_string(value.day)) +
                    " is not a valid date for field " + f.name);
    const std::string stored = value.toStorage();
    std::memcpy(current_.bytes().data() + f.offset, stored.data(), stored.size());
}

void Table::clear(int index) {
    requireEditing("clear a field");
    const FieldDef& f = field(index);
    std::memset(current_.bytes().data() + f.offset, ' ', static_cast<size_t>(f.width));
}

// ---------------------------------------------------------------------------------------------
// Pack

void Table::pack() {
    requireWritable();
    if (share_ != ShareMode::Exclusive) throw Error("Packing " + path_ + " needs exclusive use");
    if (state_ != State::Browse) post();
    File& old = impl_->file;
    const std::string temp = path_ + ".pack";
    std::filesystem::remove(temp);
    File out;
    out.open(temp, File::Mode::CreateNew);
    // Whoever opens the path after the rename finds the new file already taken.
    out.tryLock(lock_range::kWholeFileStart, lock_range::kWholeFileLength, true);
    try {
        std::vector<unsigned char> header(headerLength_);
        old.readExact(header.data(), header.size(), 0);
        uint32_t kept = 0;
        uint64_t offset = headerLength_;
        std::string block;
        for (uint32_t r = 1; r <= recordCount_; ++r) {
            readRecord(r);
            const std::string& bytes = impl_->candidate.bytes();
            if (bytes[0] == static_cast<char>(layout::kDeletedMark)) continue;
            block += bytes;
            ++kept;
            if (block.size() >= kCacheBytes) {
                out.writeAt(block.data(), block.size(), offset);
                offset += block.size();
                block.clear();
            }
        }
        block.push_back(static_cast<char>(layout::kEndOfFile));
        out.writeAt(block.data(), block.size(), offset);
        put32(header.data() + layout::kRecordCount, kept);
        stampToday(header.data());
        out.writeAt(header.data(), header.size(), 0);
        out.sync();
        std::error_code ec;
        std::filesystem::rename(temp, path_, ec);
        if (ec) throw Error("Cannot pack " + path_ + ": " + ec.message());
    } catch (...) {
        out.close();
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw;
    }
    syncFolder(folderOf(path_));
    impl_->map.reset();
    old = std::move(out);
    old.setPath(path_);
    impl_->modified = false;
    loadHeader();
    // Record numbers have changed: every tag is built again.
    std::vector<std::pair<std::string, std::string>> definitions;
    for (const IndexDefinition& d : indexes()) definitions.emplace_back(d.name, d.expression);
    if (definitions.empty())
        openIndex();
    else
        writeIndexFile(definitions);
    first();
}

// ---------------------------------------------------------------------------------------------
// The production index

std::string Table::indexPath() const {
    const std::string folder = folderOf(path_);
    const std::string name = tableNameOf(path_) + ".MDX";
    return findFileIgnoringCase(folder, name).value_or(folder + name);
}

// Opens the production index the header announces and compiles its tags' expressions. An
// index that cannot be read, or holds a tag whose expression the engine cannot evaluate, does
// not keep the records from being read: the table opens, and everything that would use or
// change the index reports the problem until a new index replaces it. A tag whose stored key
// size does not match its expression is likewise unusable until the indexes are rebuilt.
void Table::openIndex() {
    Impl& d = *impl_;
    d.mdx.close();
    tagExpressions_.clear();
    tagProblems_.clear();
    indexProblem_.clear();
    collationProblem_.clear();
    selectedTag_ = -1;
    d.cursorStale = true;
    if (mdxFlag_ == 0) {
        selectedName_.clear();
        return;
    }
    try {
        d.mdx.open(indexPath(), access_ == Access::ReadWrite, share_ == ShareMode::Shared);
        // The index says how it sorts; an index this engine rebuilt says 0 when the table's
        // driver sorts otherwise.
        const uint8_t driver = d.mdx.languageDriver();
        d.mdx.setByteOrder(sortsByBytes(driver));
        if (!d.mdx.isByteOrder())
            collationProblem_ = "The index " + d.mdx.path() + " sorts text by language driver " +
                                std::to_string(driver) +
                                ", which this program cannot keep up to date; rebuild the indexes";
        const bool ansi = codePage() == 1252 || codePage() == 0;
        for (const MdxTag& tag : d.mdx.tags()) {
            try {
                tagExpressions_.push_back(KeyExpression::compile(tag.expression, *fields_, ansi));
            } catch (const Error& e) {
                throw Error("Tag " + tag.name + " of " + d.mdx.path() + " cannot be used: " + e.what());
            }
            const KeyExpression& e = tagExpressions_.back();
            std::string problem;
            if (static_cast<char>(e.type()) != tag.keyType || e.length() != tag.keyLength)
                problem = "Tag " + tag.name + " of " + d.mdx.path() + " does not match its expression " +
                          tag.expression + "; rebuild the indexes";
            tagProblems_.push_back(problem);
        }
    } catch (const Error& e) {
        indexProblem_ = e.what();
        d.mdx.close();
        tagExpressions_.clear();
        tagProblems_.clear();
        selectedName_.clear();
        return;
    }
    const int t = selectedName_.empty() ? -1 : d.mdx.findTag(selectedName_);
    if (t >= 0 && tagProblems_[static_cast<size_t>(t)].empty())
        selectedTag_ = t;
    else
        selectedName_.clear();
}

void Table::requireExclusive(const char* operation) const {
    requireWritable();
    if (share_ != ShareMode::Exclusive)
        throw Error(std::string("Cannot ") + operation + ": " + path_ + " needs exclusive use");
}

void Table::requireIndexUsable() const {
    if (!indexProblem_.empty()) throw Error(indexProblem_);
    if (!collationProblem_.empty()) throw Error(collationProblem_);
    for (const std::string& problem : tagProblems_)
        if (!problem.empty()) throw Error(problem);
}

void Table::setIndexFlag(bool on) {
    const unsigned char flag = on ? 1 : 0;
    impl_->file.writeAt(&flag, 1, layout::kMdxFlag);
    mdxFlag_ = flag;
}

// The keys of the record just saved: its new keys in every tag, and for an edit the old ones
// out where they differ.
void Table::updateKeys(const std::string* before, uint32_t recno) {
    Impl& d = *impl_;
    if (!d.mdx.isOpen()) return;
    std::string oldKey;
    for (size_t t = 0; t < tagExpressions_.size(); ++t) {
        const KeyExpression& e = tagExpressions_[t];
        e.evaluate(current_, d.key);
        if (before) {
            d.scratch.bytes() = *before;
            e.evaluate(d.scratch, oldKey);
            if (oldKey == d.key) continue;
            if (static_cast<int>(t) == selectedTag_) movedInOrder_ = true;
            // An entry that is not there (an index another program kept differently) is no
            // reason to refuse the change: the new key goes in all the same.
            d.mdx.remove(static_cast<int>(t), oldKey, recno);
        }
        d.mdx.insert(static_cast<int>(t), d.key, recno);
    }
    d.cursorStale = true;
}

// Writes a new index file with these tags (name, expression) built from every record, deleted
// ones included, and opens it. No tags: the index file goes and the flag is cleared.
void Table::writeIndexFile(const std::vector<std::pair<std::string, std::string>>& definitions) {
    requireExclusive("change the indexes");
    Impl& d = *impl_;
    const bool ansi = codePage() == 1252 || codePage() == 0;
    std::vector<KeyExpression> expressions;
    std::vector<TagBuild> builds;
    for (const auto& [name, expression] : definitions) {
        expressions.push_back(KeyExpression::compile(expression, *fields_, ansi));
        const KeyExpression& e = expressions.back();
        TagBuild b;
        b.name = name;
        b.expression = expression;
        b.keyType = static_cast<char>(e.type());
        b.keyLength = e.length();
        b.fieldTag = e.fields().size() == 1;
        b.keys.reserve(size_t(recordCount_) * static_cast<size_t>(b.keyLength));
        b.recnos.reserve(recordCount_);
        builds.push_back(std::move(b));
    }
    const std::string path = indexPath();
    if (builds.empty()) {
        d.mdx.close();
        setIndexFlag(false);
        std::error_code ec;
        std::filesystem::remove(path, ec);
        openIndex();
        return;
    }
    for (uint32_t r = 1; r <= recordCount_; ++r) {
        readRecord(r);
        for (size_t t = 0; t < builds.size(); ++t) {
            expressions[t].evaluate(d.candidate, d.key);
            builds[t].keys += d.key;
            builds[t].recnos.push_back(r);
        }
    }
    for (TagBuild& b : builds) {
        // Equal keys keep record order, as dBASE builds them.
        const auto len = static_cast<size_t>(b.keyLength);
        std::vector<uint32_t> order(b.recnos.size());
        for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        const char* keys = b.keys.data();
        if (b.keyType == 'C')
            std::stable_sort(order.begin(), order.end(), [keys, len](uint32_t x, uint32_t y) {
                return std::memcmp(keys + x * len, keys + y * len, len) < 0;
            });
        else
            std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
                return index_key::compare(b.keyType, std::string_view(keys + x * len, len),
                                          std::string_view(keys + y * len, len)) < 0;
            });
        std::string sorted;
        sorted.reserve(b.keys.size());
        std::vector<uint32_t> recnos;
        recnos.reserve(order.size());
        for (uint32_t i : order) {
            sorted.append(keys + i * len, len);
            recnos.push_back(b.recnos[i]);
        }
        b.keys = std::move(sorted);
        b.recnos = std::move(recnos);
    }
    MdxFile::write(path, sortsByBytes(languageDriver_) ? languageDriver_ : 0, builds);
    if (!mdxFlag_) setIndexFlag(true);
    openIndex();
}

IndexDefinition Table::definitionOf(int t) const {
    const MdxTag& tag = impl_->mdx.tags()[static_cast<size_t>(t)];
    const KeyExpression& e = tagExpressions_[static_cast<size_t>(t)];
    return IndexDefinition{tag.name, tag.expression, static_cast<KeyType>(tag.keyType), tag.keyLength,
                           e.fields(), e.isCaseInsensitive()};
}

std::vector<IndexDefinition> Table::indexes() const {
    std::vector<IndexDefinition> out;
    for (size_t t = 0; t < tagExpressions_.size(); ++t) out.push_back(definitionOf(static_cast<int>(t)));
    return out;
}

void Table::addIndex(const std::string& name, const std::string& expression) {
    requireExclusive("add an index");
    const bool nameOk = !name.empty() && name.size() <= 10 &&
                        std::all_of(name.begin(), name.end(), [](char c) {
                            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                   (c >= '0' && c <= '9') || c == '_';
                        }) &&
                        !(name[0] >= '0' && name[0] <= '9');
    if (!nameOk) throw Error("Index tag name " + inQuotes(name) + " is not 1 to 10 letters, digits or _");
    KeyExpression::compile(expression, *fields_); // fails before anything is written
    std::vector<std::pair<std::string, std::string>> definitions;
    for (const IndexDefinition& d : indexes())
        if (!sameName(d.name, name)) definitions.emplace_back(d.name, d.expression);
    if (definitions.size() >= static_cast<size_t>(mdx::kMaxTags))
        throw Error("Cannot add index tag " + name + ": " + indexPath() + " is full");
    definitions.emplace_back(name, expression);
    writeIndexFile(definitions);
}

void Table::deleteIndex(const std::string& name) {
    requireExclusive("delete an index");
    std::vector<std::pair<std::string, std::string>> definitions;
    bool found = false;
    for (const IndexDefinition& d : indexes()) {
        if (sameName(d.name, name))
            found = true;
        else
            definitions.emplace_back(d.name, d.expression);
    }
    if (!found) throw Error("Index tag " + inQuotes(name) + " not found in " + path_);
    if (sameName(selectedName_, name)) selectedName_.clear();
    writeIndexFile(definitions);
}

void Table::reindex() {
    requireExclusive("rebuild the indexes");
    // Without a readable list of tags there is nothing to rebuild from; adding a tag writes a
    // new index in place of the unreadable one.
    if (!indexProblem_.empty()) throw Error(indexProblem_);
    if (state_ != State::Browse) post();
    std::vector<std::pair<std::string, std::string>> definitions;
    for (const MdxTag& tag : impl_->mdx.tags()) definitions.emplace_back(tag.name, tag.expression);
    if (!definitions.empty()) writeIndexFile(definitions);
}

void Table::selectIndex(const std::string& name) {
    requireOpen();
    if (state_ != State::Browse) post();
    if (name.empty()) {
        selectedTag_ = -1;
        selectedName_.clear();
        return;
    }
    if (!indexProblem_.empty()) throw Error(indexProblem_);
    const int t = impl_->mdx.isOpen() ? impl_->mdx.findTag(name) : -1;
    if (t < 0) throw Error("Index tag " + inQuotes(name) + " not found in " + path_);
    if (!tagProblems_[static_cast<size_t>(t)].empty()) throw Error(tagProblems_[static_cast<size_t>(t)]);
    selectedTag_ = t;
    selectedName_ = impl_->mdx.tags()[static_cast<size_t>(t)].name;
    impl_->cursorStale = true;
    if (recno_ == 0) first();
}

std::optional<IndexDefinition> Table::selectedDefinition() const {
    if (!indexed()) return std::nullopt;
    return definitionOf(selectedTag_);
}

std::string Table::keyForLookup(std::string_view value, bool pad) const {
    const MdxTag& tag = impl_->mdx.tags()[static_cast<size_t>(selectedTag_)];
    switch (tag.keyType) {
    case 'N': {
        if (!number_text::parse(value)) throw Error(inQuotes(value) + " is not a number");
        return index_key::numericFromText(value);
    }
    case 'D': {
        std::string_view v = value;
        while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
        while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
        if (v.empty()) return index_key::dateKey(Date{});
        const auto date = dateFormat_.parse(v);
        if (!date) throw Error(inQuotes(value) + " is not a valid date");
        return index_key::dateKey(*date);
    }
    default: {
        std::string key(value.substr(0, static_cast<size_t>(tag.keyLength)));
        if (pad) key.resize(static_cast<size_t>(tag.keyLength), ' ');
        return key;
    }
    }
}

bool Table::findKey(std::string_view value) {
    requireOpen();
    if (!indexed()) throw Error("Cannot look up a key: no index is selected for " + path_);
    if (state_ != State::Browse) post();
    Impl& d = *impl_;
    const std::string key = keyForLookup(value, true);
    const MdxTag tag = d.mdx.tags()[static_cast<size_t>(selectedTag_)];
    MdxCursor c;
    for (bool on = d.mdx.seek(selectedTag_, key, c); on; on = d.mdx.next(c)) {
        if (d.mdx.compare(tag, d.mdx.key(c), key) != 0) break;
        const uint32_t r = d.mdx.recno(c);
        checkIndexedRecord(r);
        if (!visible(r, false)) continue;
        d.cursor = std::move(c);
        d.cursorStale = false;
        positionOn(r);
        bof_ = eof_ = false;
        return true;
    }
    return false;
}

bool Table::findNearest(std::string_view value) {
    requireOpen();
    if (!indexed()) throw Error("Cannot look up a key: no index is selected for " + path_);
    if (state_ != State::Browse) post();
    Impl& d = *impl_;
    const std::string key = keyForLookup(value, false);
    if (const uint32_t r = walkIndex(d.mdx.seek(selectedTag_, key, d.cursor), 1)) {
        positionOn(r);
        bof_ = eof_ = false;
        return true;
    }
    last();
    return false;
}

std::string Table::verifyIndexes() {
    requireOpen();
    Impl& d = *impl_;
    if (!indexProblem_.empty()) return indexProblem_;
    if (!d.mdx.isOpen()) return {};
    for (size_t t = 0; t < tagExpressions_.size(); ++t) {
        if (!tagProblems_[t].empty()) return tagProblems_[t];
        const std::string name = d.mdx.tags()[t].name;
        std::vector<uint8_t> seen(size_t(recordCount_) + 1, 0);
        uint32_t count = 0;
        std::string fault;
        try {
            d.mdx.walk(static_cast<int>(t), [&](uint32_t r, std::string_view key) {
                if (!fault.empty()) return;
                if (r < 1 || r > recordCount_) {
                    fault = "it names record " + std::to_string(r) + ", which does not exist";
                    return;
                }
                if (seen[r]) {
                    fault = "record " + std::to_string(r) + " appears twice";
                    return;
                }
                seen[r] = 1;
                ++count;
                readRecord(r, false, false);
                tagExpressions_[t].evaluate(d.candidate, d.key);
                if (d.key != key) fault = "the key of record " + std::to_string(r) + " is not the one its fields give";
            });
        } catch (const Error& e) {
            return e.what();
        }
        if (fault.empty() && count != recordCount_) {
            uint32_t missing = 1;
            while (missing <= recordCount_ && seen[missing]) ++missing;
            fault = "record " + std::to_string(missing) + " is missing";
        }
        if (!fault.empty()) return "Tag " + name + " of " + d.mdx.path() + ": " + fault;
    }
    return {};
}

} // namespace dbase
