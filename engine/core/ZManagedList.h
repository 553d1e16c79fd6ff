#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "ZCore.h"
#include "ZGame.h"
#include "ZHashTable.h"
#include "ZList.h"
#include "ZManagedEntry.h"
#include "ZSysLock.h"

// The common design of the reference-counted resource caches. A user asks for a resource by file
// name: the first request loads it (count 1), later ones return the same object and count one
// more, each user gives its reference back with an unload, and the last one destroys it.
//
// Every entry sits in the list (in order of creation) and in the name table at once. One
// recursive lock guards both, every entry's fields and whatever a kind adds, so that callbacks
// and a kind's own operations may call back in. Objects are deleted outside the lock, after
// their entries have left the list and the table. The destructor deletes nothing: the owner calls
// freeAll first.
//
// Names are keyed lower-cased; files are opened under the folder joined to the name as written.
// A name, or a path composed from the folder and a name, that does not fit in 259 characters
// fails instead of standing for a cut one. Keys are built per call, so any thread may look up.
//
// A kind derives from ZManagedList<its entry>, the entry from ZManagedEntry<its object>, and adds
// its load and the named operations over the helpers below.
template <class Entry>
class ZManagedList : public ZList<Entry> {
public:
    typedef typename Entry::ObjectType Object;
    static constexpr long kNameSize = Entry::kNameSize;

    ZManagedList() = default;
    ~ZManagedList() override = default;

    // The first call sets the folder joined to every name; later calls leave it in force.
    void setPrefix(const char* folder) {
        LockScope lock(m_lock);
        if (m_prefixSet) return;
        m_prefix = folder ? folder : "";
        m_prefixSet = true;
    }

    std::string getPrefix() {
        LockScope lock(m_lock);
        return m_prefix;
    }

    // Destroys every entry and its object, whatever the counts.
    virtual void freeAll() {
        m_lock.acquire();
        while (Entry* entry = this->head) {
            detachEntry(entry);
            m_lock.release();
            entry->count = 0;
            destroyEntry(entry);
            m_lock.acquire();
        }
        m_lock.release();
    }

protected:
    class LockScope {
    public:
        explicit LockScope(ZSysLock& lock) : m_held(lock) { m_held.acquire(); }
        ~LockScope() { m_held.release(); }
        LockScope(const LockScope&) = delete;
        LockScope& operator=(const LockScope&) = delete;

    private:
        ZSysLock& m_held;
    };

    // The key of a name, lower-cased as the name table folds case (ASCII only, whatever the
    // locale). False when the name does not fit in 259 characters; a null name is empty.
    static bool makeKey(const char* name, char* key) {
        if (!name) name = "";
        size_t length = strlen(name);
        if (length >= static_cast<size_t>(kNameSize)) return false;
        for (size_t i = 0; i <= length; i++) {
            char c = name[i];
            key[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return true;
    }

    // makeKey for a load, which says why it fails.
    static bool makeLoadKey(const char* name, char* key) {
        if (makeKey(name, key)) return true;
        ZCore::logMessage("Resource: name longer than %ld characters, not loaded: %s, ERROR",
                          kNameSize - 1, name);
        return false;
    }

    // The file path of a name: the folder joined to the name as written. False, with a log line,
    // when the path does not fit in 259 characters.
    bool composeFilePath(const char* name, char* path) {
        if (!name) name = "";
        std::string prefix = getPrefix();
        // Composed at full length, so that a path too long is seen instead of cut.
        std::vector<char> full(prefix.size() + strlen(name) + 2);
        ZGame::composePath(prefix.c_str(), name, full.data(), full.size());
        size_t length = strlen(full.data());
        if (length >= static_cast<size_t>(kNameSize)) {
            ZCore::logMessage("Resource: path longer than %ld characters, not loaded: %s, ERROR",
                              kNameSize - 1, full.data());
            return false;
        }
        memcpy(path, full.data(), length + 1);
        return true;
    }

    // Under the lock: the newest reachable entry filed under the key that match accepts. Entries
    // with equal keys share a bucket, so a kind with a composite key (name and size) matches the
    // rest of it here.
    template <class Match>
    Entry* findKey(const char* key, Match match) const {
        for (ZObjectHashable* node = m_names.buckets[ZHashTable::hashCompute(key)]; node;
             node = node->hashNext) {
            Entry* entry = static_cast<Entry*>(node);
            if (strcmp(entry->name, key) == 0 && isReachable(entry) && match(entry)) return entry;
        }
        return nullptr;
    }

    Entry* findKey(const char* key) const {
        return findKey(key, [](const Entry*) { return true; });
    }

    // Under the lock: the first reachable entry holding the object, from the head.
    Entry* findObject(const Object* object) const {
        if (!object) return nullptr;
        for (Entry* entry = this->head; entry; entry = ZList<Entry>::nextOf(entry))
            if (entry->object == object && isReachable(entry)) return entry;
        return nullptr;
    }

    // Under the lock: files the entry under its name and appends it to the list.
    void addEntry(Entry* entry) {
        entry->setHashKey(entry->name);
        m_names.hashInsert(entry);
        this->addToTail(entry);
    }

    // Under the lock: takes the entry out of the list and the table.
    void detachEntry(Entry* entry) {
        this->remove(entry);
        m_names.hashRemove(entry);
    }

    // Under the lock: gives one reference back. Returns the entry when that was the last one and
    // the entry has left the cache; the caller then hands it to releaseEntry outside the lock.
    Entry* dropReference(Entry* entry) {
        if (entry->count > 0) entry->count--;
        if (entry->count > 0) return nullptr;
        detachEntry(entry);
        return entry;
    }

    // The object of a name, count unchanged, or null.
    Object* getObjectByName(const char* name) {
        char key[kNameSize];
        if (!makeKey(name, key)) return nullptr;
        LockScope lock(m_lock);
        Entry* entry = findKey(key);
        return entry ? entry->object : nullptr;
    }

    // One reference of the entry holding the object given back; nothing when none does.
    void unloadObject(const Object* object) {
        if (!object) return;
        m_lock.acquire();
        Entry* entry = findObject(object);
        Entry* gone = entry ? dropReference(entry) : nullptr;
        m_lock.release();
        if (gone) releaseEntry(gone);
    }

    // One reference of the entry of a name given back; nothing when none has it.
    void unloadName(const char* name) {
        char key[kNameSize];
        if (!makeKey(name, key)) return;
        m_lock.acquire();
        Entry* entry = findKey(key);
        Entry* gone = entry ? dropReference(entry) : nullptr;
        m_lock.release();
        if (gone) releaseEntry(gone);
    }

    // Calls the callback with each reachable entry in list order, under the lock. The successor
    // is fetched before the call, so the callback may unload the entry it is given (no other).
    template <class Callback>
    void forEachEntry(Callback callback) {
        LockScope lock(m_lock);
        Entry* entry = nextReachable(this->head);
        while (entry) {
            Entry* next = nextReachable(ZList<Entry>::nextOf(entry));
            callback(entry);
            entry = next;
        }
    }

    // Entries that users reach by name, by object and through forEach (all of them, unless a
    // kind keeps entries of its own in the list).
    virtual bool isReachable(const Entry*) const { return true; }

    // Deletes a detached entry's object, then the entry (freeAll).
    virtual void destroyEntry(Entry* entry) {
        delete entry->object;
        entry->object = nullptr;
        delete entry;
    }

    // A detached entry whose last reference was given back (unload).
    virtual void releaseEntry(Entry* entry) { destroyEntry(entry); }

    ZSysLock m_lock;
    ZHashTable m_names;

private:
    Entry* nextReachable(Entry* entry) const {
        while (entry && !isReachable(entry)) entry = ZList<Entry>::nextOf(entry);
        return entry;
    }

    bool m_prefixSet = false;
    std::string m_prefix;
};
