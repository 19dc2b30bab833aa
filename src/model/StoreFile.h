#pragma once
// Reading and replacing a whole store file. Both stores are small and are
// rewritten in full after every change, so a save builds the new file beside
// the old one and renames it into place: a crash, a full disk or a failed
// write leaves the previous store whole instead of truncated.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kivo {

class Archive;

// What loading a store found. Only a damaged store is worth a word to the
// user: a missing one is a first run, and an empty one holds no records.
enum class StoreState {
    Missing,  // no file
    Empty,    // a file of no bytes
    Whole,    // every record its count announced, and nothing after them
    Damaged,  // ends early, bytes after the last record, a count its size
              // can not hold, a record that can not be read, or a file that
              // can not be read at all; `records` were read before that
};

struct StoreRead {
    StoreState state = StoreState::Missing;
    std::size_t records = 0;  // records read completely, in file order

    bool damaged() const { return state == StoreState::Damaged; }
    // True when every announced record was read (Whole or Empty).
    explicit operator bool() const {
        return state == StoreState::Whole || state == StoreState::Empty;
    }
};

// Reads a store: the i32 record count, then `readOne` once per record until
// the count is reached or a record can not be read. The records read stay
// with whoever `readOne` gave them to, whatever the state.
using RecordReader = std::function<bool(Archive&)>;
StoreRead ReadStoreFile(const std::string& path, const RecordReader& readOne);
StoreRead ReadStoreBytes(std::string_view bytes, const RecordReader& readOne);

using StoreWriter = std::function<bool(Archive&)>;

// A new version of a store, written and flushed to disk beside the file it
// will replace, under the hidden name ".<store name>.XXXXXX", not yet in
// place. Dropped (its temporary removed) unless committed.
//
// A store that is a symbolic link is written at the link's target (see
// WriteThroughPath), so the link stays a link; a dangling link gets its
// target created, in the folder the link names, which must exist.
//
// The binding store holds Zip passwords as plain text, so no store is ever
// readable by anyone but its owner: the temporary file is created private,
// a new store gets mode 0600, and a replaced one keeps its owner's bits but
// loses every group and other bit. A mode that cannot be set fails the save.
// A store that is read-only is not replaced, as writing to it would fail.
class StoreDraft {
public:
    StoreDraft() = default;
    ~StoreDraft() { Drop(); }
    StoreDraft(const StoreDraft&) = delete;
    StoreDraft& operator=(const StoreDraft&) = delete;

    bool Write(const std::string& storePath, const StoreWriter& write);
    // Renames the draft over the store's target.
    bool Commit();
    // Gives the draft another name beside the target until it is committed.
    bool Park(const std::string& path);
    // Removes the draft's file.
    void Drop();
    // Leaves the draft's file where it is, for whoever comes next.
    void Abandon() { temporary_.clear(); }

    const std::string& target() const { return target_; }
    int error() const { return error_; }

private:
    bool Fail(int error);
    std::string target_;
    std::string temporary_;
    int error_ = 0;
};

// Writes the store through `write` and renames it over `path` (StoreDraft);
// on any failure `path` is left as it was.
bool ReplaceStoreFile(const std::string& path, const StoreWriter& write);

// The prefix of the temporaries of the store at `storePath`:
// ".kivos.kvd." for kivos.kvd, wherever the store's target lies.
std::string StoreTemporaryPrefix(const std::string& storePath);

// Copies a damaged store, before anything writes over it, to
// "<target>.damaged-YYYYMMDD-HHMMSS" (local time) beside the file a write
// through `storePath` reaches, with mode 0600; "-2", "-3"... are added while
// that name exists, so an earlier copy is never replaced. Returns the
// copy's path, or empty with the errno in `error` (nothing then is left).
std::string KeepDamagedStore(const std::string& storePath, int& error);

// Removes the temporaries of the store at `storePath` (regular files named
// StoreTemporaryPrefix + six letters or digits, beside its target): call it
// only while holding the lock every writer takes, when any temporary left
// belongs to a writer that died. Returns how many were removed.
std::size_t RemoveDeadTemporaries(const std::string& storePath);

}  // namespace kivo
