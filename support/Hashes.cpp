#include "support/Hashes.h"

namespace support {
namespace {

constexpr std::uint32_t BucketMask = THash::BucketCount - 1;

std::size_t bucketOf(std::string_view key) {
    return static_cast<std::size_t>(HashKey(key) & BucketMask);
}

std::size_t slot([[maybe_unused]] const std::vector<std::int32_t>& values, std::int32_t index) {
    assert(index >= 0 && static_cast<std::size_t>(index) < values.size());
    return static_cast<std::size_t>(index);
}

}  // namespace

std::uint32_t HashKey(std::string_view key) {
    if (key.empty()) throw EHashInvalidKeyError("Key cannot be an empty string");
    std::uint32_t h = 0x12345670u;
    for (const char c : key) {
        // Bytes count as unsigned, so 8-bit (Hebrew) keys hash the same on every platform.
        h = (h << 4) + static_cast<std::uint8_t>(c);
        const std::uint32_t g = h & 0xF0000000u;
        // A plain OR that keeps the top nibble (not the usual ELF-hash XOR and
        // clear): the buckets, and so the iteration order, depend on it.
        if (g != 0) h |= g >> 24;
    }
    return h;
}

const THashRecord* THash::findRecord(std::string_view key) const {
    for (const auto& record : m_buckets[bucketOf(key)])
        if (record.key == key) return &record;
    return nullptr;
}

bool THash::Exists(std::string_view key) const {
    return findRecord(key) != nullptr;
}

std::int32_t THash::valueIndexOf(std::string_view key) const {
    if (const THashRecord* record = findRecord(key)) return record->valueIndex;
    throw EHashFindError("Key \"" + std::string(key) + "\" not found");
}

std::int32_t THash::valueIndexForSet(std::string_view key) {
    auto& bucket = m_buckets[bucketOf(key)];
    for (const auto& record : bucket)
        if (record.key == key) return record.valueIndex;

    const std::int32_t index = HighValueIndex() + 1;
    bucket.push_back(THashRecord{std::string(key), index});
    try {
        SetValueCount(index + 1);
    } catch (...) {
        bucket.pop_back();
        throw;
    }
    m_iterationValid = false;
    return index;
}

void THash::Restart() {
    m_iterationBucket = -1;
    m_iterationPosition = 0;
    m_currentKey.clear();
    m_iterationValid = true;
}

bool THash::Next() {
    if (!m_iterationValid)
        throw EHashIterateError("Cannot get Next as the hash has been modified since Restart was called");
    if (m_iterationBucket < 0) {
        m_iterationBucket = 0;
        m_iterationPosition = 0;
    }
    while (m_iterationBucket < BucketCount) {
        const auto& bucket = m_buckets[static_cast<std::size_t>(m_iterationBucket)];
        if (m_iterationPosition < bucket.size()) {
            m_currentKey = bucket[m_iterationPosition].key;
            ++m_iterationPosition;
            return true;
        }
        ++m_iterationBucket;
        m_iterationPosition = 0;
    }
    // Past the last key the current key stays the last one reached.
    return false;
}

std::string THash::CurrentKey() const {
    if (!m_iterationValid)
        throw EHashIterateError("Cannot find CurrentKey as the hash has been modified since Restart was called");
    if (m_currentKey.empty())
        throw EHashIterateError("Cannot find CurrentKey as Next has not yet been called after Restart");
    return m_currentKey;
}

std::int32_t TIntegerHash::GetValue(std::string_view key) const {
    return m_values[slot(m_values, valueIndexOf(key))];
}

void TIntegerHash::SetValue(std::string_view key, std::int32_t value) {
    m_values[slot(m_values, valueIndexForSet(key))] = value;
}

void TIntegerHash::ClearValue(std::int32_t index) {
    m_values[slot(m_values, index)] = 0;
}

void TIntegerHash::MoveValue(std::int32_t fromIndex, std::int32_t toIndex) {
    m_values[slot(m_values, toIndex)] = m_values[slot(m_values, fromIndex)];
}

void TIntegerHash::SetValueCount(std::int32_t count) {
    assert(count >= 0);
    m_values.resize(static_cast<std::size_t>(count));
}

void TIntegerHash::ClearValues() {
    m_values.clear();
}

std::int32_t TIntegerHash::HighValueIndex() const {
    return static_cast<std::int32_t>(m_values.size()) - 1;
}

}  // namespace support
