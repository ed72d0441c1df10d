// A cache of compiled things keyed by their text, bounded in bytes and
// emptied least recently used first.
//
// Entries are shared: the cache holds one reference, the effects that use an
// entry hold others. Eviction passes over an entry somebody else still holds,
// so what a live effect uses is never freed under it and is found again by
// the next effect of the same text; such entries count against the budget
// all the same, and the cache may stay above it while they are in use.
//
// Not thread-safe: the effect layer compiles on the thread of its device.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace qm_fx {

template <typename T>
class Byte_Lru_Cache {
public:
    // Called for each entry the cache lets go of, while it still holds the
    // last reference (to free what the destructor of T does not, such as a
    // GL object).
    using Evict_Hook = std::function<void(const std::string& key, T& value)>;

    explicit Byte_Lru_Cache(std::size_t budget, Evict_Hook on_evict = nullptr)
        : budget_(budget), on_evict_(std::move(on_evict)) {}
    Byte_Lru_Cache(const Byte_Lru_Cache&) = delete;
    Byte_Lru_Cache& operator=(const Byte_Lru_Cache&) = delete;

    // The entry of `key`, now the most recently used; null when there is none.
    std::shared_ptr<T> Find(const std::string& key) {
        auto it = index_.find(key);
        if (it == index_.end()) return nullptr;
        order_.splice(order_.begin(), order_, it->second);
        return it->second->value;
    }

    // Adds `value` under `key` (replacing an entry of that key), charged
    // `bytes` plus the key's length, then lets go of unused entries, least
    // recently used first, until the cache is within its budget.
    void Insert(std::string key, std::shared_ptr<T> value, std::size_t bytes) {
        Erase(key);
        bytes += key.size();
        order_.push_front(Entry{std::move(key), std::move(value), bytes});
        index_.emplace(order_.front().key, order_.begin());
        bytes_ += bytes;
        Trim();
    }

    void Erase(const std::string& key) {
        auto it = index_.find(key);
        if (it == index_.end()) return;
        Drop(it->second);
    }

    // A new budget, kept from now on (entries beyond it go at once).
    void Set_Budget(std::size_t budget) {
        budget_ = budget;
        Trim();
    }
    // Lets go of entries beyond the budget that were in use at the last
    // insertion and are not any more.
    void Trim() {
        auto it = order_.end();
        while (bytes_ > budget_ && it != order_.begin()) {
            --it;
            if (it->value.use_count() > 1) continue;
            it = Drop(it);
        }
    }

    std::size_t Bytes() const { return bytes_; }
    std::size_t Size() const { return order_.size(); }
    std::size_t Budget() const { return budget_; }

private:
    struct Entry {
        std::string key;
        std::shared_ptr<T> value;
        std::size_t bytes;
    };
    using Iterator = typename std::list<Entry>::iterator;

    Iterator Drop(Iterator it) {
        if (on_evict_ && it->value && it->value.use_count() == 1) on_evict_(it->key, *it->value);
        bytes_ -= it->bytes;
        index_.erase(std::string_view(it->key));
        return order_.erase(it);
    }

    std::size_t budget_;
    Evict_Hook on_evict_;
    std::size_t bytes_ = 0;
    std::list<Entry> order_;  // most recently used first
    std::unordered_map<std::string_view, Iterator> index_;
};

}  // namespace qm_fx
