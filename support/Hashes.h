#pragma once
// String-keyed hash tables: TIntegerHash maps a key to a 32-bit integer,
// TObjectHash<T> maps a key to an object it owns. Both derive from THash, which
// holds the keys, finds them and iterates over them; the derived classes hold
// the values in one array indexed by each key's value index.
//
// There are 128 buckets, a key's bucket is HashKey(key) & 127 and the table
// never rehashes, so the iteration order (buckets 0..127, and within a bucket
// the order in which keys were added) is fixed by the keys alone. Keys are byte
// strings compared byte for byte; they are only ever added, never removed.
// Every failing operation leaves the table unchanged.
//
// No locking: a table is used by one thread at a time.

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace support {

class EHashError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An empty key: "Key cannot be an empty string".
class EHashInvalidKeyError : public EHashError {
public:
    using EHashError::EHashError;
};

// GetValue of an absent key: Key "<key>" not found.
class EHashFindError : public EHashError {
public:
    using EHashError::EHashError;
};

// Next or CurrentKey without a valid iteration.
class EHashIterateError : public EHashError {
public:
    using EHashError::EHashError;
};

// Hash value of a non-empty key; raises EHashInvalidKeyError for an empty one.
std::uint32_t HashKey(std::string_view key);

struct THashRecord {
    std::string key;              // never empty
    std::int32_t valueIndex = 0;  // position of the key's value in the derived class's value array
};

class THash {
public:
    static constexpr int BucketBits = 7;
    static constexpr int BucketCount = 1 << BucketBits;

    virtual ~THash() = default;

    bool Exists(std::string_view key) const;

    // Iteration: Restart, then Next until it gives false, reading CurrentKey
    // after each Next that gave true. Adding a key in between makes the next
    // Next or CurrentKey raise EHashIterateError; changing the value of a
    // present key does not.
    void Restart();
    bool Next();
    std::string CurrentKey() const;

    // Calls visit(std::string_view key) for every key in iteration order,
    // leaving the Restart/Next state alone, so it also works on a const table.
    // The visitor must not add keys.
    template <typename Visitor>
    void forEachKey(Visitor&& visit) const {
        for (const auto& bucket : m_buckets)
            for (const auto& record : bucket) visit(std::string_view(record.key));
    }

protected:
    THash() = default;
    // Copy and move only as part of a derived table, which copies or moves its
    // value array alongside.
    THash(const THash&) = default;
    THash(THash&&) noexcept = default;
    THash& operator=(const THash&) = default;
    THash& operator=(THash&&) noexcept = default;

    // The value array of the derived class. Indices are valid positions of it.
    virtual void ClearValue(std::int32_t index) = 0;
    virtual void MoveValue(std::int32_t fromIndex, std::int32_t toIndex) = 0;
    virtual void SetValueCount(std::int32_t count) = 0;
    virtual void ClearValues() = 0;
    virtual std::int32_t HighValueIndex() const = 0;  // -1 when the array is empty

    // Value index of `key`; raises EHashFindError when the key is absent.
    std::int32_t valueIndexOf(std::string_view key) const;

    // Value index at which to store `key`'s value. An absent key gets a record
    // and a new slot at the end of the value array, and the iteration becomes
    // invalid. Everything that can fail happens before anything changes, so a
    // derived SetValue that stores without throwing is all or nothing.
    std::int32_t valueIndexForSet(std::string_view key);

private:
    const THashRecord* findRecord(std::string_view key) const;

    std::array<std::vector<THashRecord>, BucketCount> m_buckets;
    bool m_iterationValid = false;
    std::string m_currentKey;      // empty until Next reaches a key
    int m_iterationBucket = -1;    // -1: Next has not run since Restart
    std::size_t m_iterationPosition = 0;  // next record to visit in the iteration bucket
};

class TIntegerHash : public THash {
public:
    TIntegerHash() = default;

    std::int32_t GetValue(std::string_view key) const;
    void SetValue(std::string_view key, std::int32_t value);

protected:
    void ClearValue(std::int32_t index) override;
    void MoveValue(std::int32_t fromIndex, std::int32_t toIndex) override;
    void SetValueCount(std::int32_t count) override;
    void ClearValues() override;
    std::int32_t HighValueIndex() const override;

private:
    std::vector<std::int32_t> m_values;
};

// Owns every object stored in it: storing another object under a present key
// destroys the old one, and destroying the table destroys all of them.
// GetValue gives a reference to the stored object, valid until the key gets
// another object or the table is destroyed. A table never holds a null
// pointer: SetValue requires a real object.
template <typename T>
class TObjectHash : public THash {
public:
    TObjectHash() = default;
    TObjectHash(const TObjectHash&) = delete;
    TObjectHash& operator=(const TObjectHash&) = delete;
    TObjectHash(TObjectHash&&) noexcept = default;
    TObjectHash& operator=(TObjectHash&&) noexcept = default;
    ~TObjectHash() override = default;

    T& GetValue(std::string_view key) { return *m_values[slot(valueIndexOf(key))]; }
    const T& GetValue(std::string_view key) const { return *m_values[slot(valueIndexOf(key))]; }

    // On an error (an empty key) the table is unchanged and `value` is
    // destroyed with the argument.
    void SetValue(std::string_view key, std::unique_ptr<T> value) {
        assert(value && "TObjectHash holds objects, not null pointers");
        m_values[slot(valueIndexForSet(key))] = std::move(value);
    }

protected:
    void ClearValue(std::int32_t index) override { m_values[slot(index)].reset(); }
    // Takes the object over: the source slot becomes empty, and an object still
    // in the target slot is destroyed.
    void MoveValue(std::int32_t fromIndex, std::int32_t toIndex) override {
        m_values[slot(toIndex)] = std::move(m_values[slot(fromIndex)]);
    }
    void SetValueCount(std::int32_t count) override {
        assert(count >= 0);
        m_values.resize(static_cast<std::size_t>(count));
    }
    void ClearValues() override { m_values.clear(); }
    std::int32_t HighValueIndex() const override { return static_cast<std::int32_t>(m_values.size()) - 1; }

private:
    std::size_t slot(std::int32_t index) const {
        assert(index >= 0 && static_cast<std::size_t>(index) < m_values.size());
        return static_cast<std::size_t>(index);
    }

    std::vector<std::unique_ptr<T>> m_values;
};

}  // namespace support
