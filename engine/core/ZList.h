#pragma once

#include <cstdint>

#include "ZObjectListable.h"

// Intrusive doubly linked list: the nodes are the objects themselves and belong to whoever made
// them, so the list never frees a node. A list is itself listable and can be a node of another.
// Other code walks lists by hand (head along next, or tail along prev); fetch next before removing
// the current node.
template <class T>
class ZList : public ZObjectListable {
public:
    int32_t count = 0;
    T* head = nullptr;
    T* tail = nullptr;

    ZList() = default;
    // A copy would share nodes whose links point into the original.
    ZList(const ZList&) = delete;
    ZList& operator=(const ZList&) = delete;

    static T* nextOf(const T* node) { return static_cast<T*>(node->next); }
    static T* prevOf(const T* node) { return static_cast<T*>(node->prev); }

    void addToTail(T* node) {
        node->prev = tail;
        node->next = nullptr;
        if (tail) {
            tail->next = node;
        } else {
            head = node;
        }
        tail = node;
        count++;
    }

    void addToHead(T* node) {
        node->next = head;
        node->prev = nullptr;
        if (head) {
            head->prev = node;
        } else {
            tail = node;
        }
        head = node;
        count++;
    }

    // ref must be in this list.
    void insertBefore(T* node, T* ref) {
        node->next = ref;
        node->prev = ref->prev;
        ref->prev = node;
        if (node->prev) node->prev->next = node;
        if (ref == head) head = node;
        count++;
    }

    // ref must be in this list.
    void insertAfter(T* node, T* ref) {
        node->prev = ref;
        node->next = ref->next;
        ref->next = node;
        if (node->next) node->next->prev = node;
        if (ref == tail) tail = node;
        count++;
    }

    // node must be in this list. Its own links are left as they were, so a walker that is
    // standing on it can still step on.
    void remove(T* node) {
        if (node->prev) node->prev->next = node->next;
        if (node->next) node->next->prev = node->prev;
        if (node == head) head = nextOf(node);
        if (node == tail) tail = prevOf(node);
        count--;
    }

    // Range-for support. The successor is fetched before the body runs, so the body may remove
    // (and delete) the node it was given, but no other node.
    class Iterator {
    public:
        explicit Iterator(T* node) : node_(node), next_(node ? nextOf(node) : nullptr) {}
        T* operator*() const { return node_; }
        Iterator& operator++() {
            node_ = next_;
            next_ = node_ ? nextOf(node_) : nullptr;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return node_ != other.node_; }

    private:
        T* node_;
        T* next_;
    };

    Iterator begin() const { return Iterator(head); }
    Iterator end() const { return Iterator(nullptr); }
};
