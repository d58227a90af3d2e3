#pragma once

// Link of an intrusive, doubly linked list. A node is in at most one list at
// a time.
struct Node
{
    Node* next = nullptr;
    Node* prev = nullptr;
};

// Head and tail of a list of T (derived from Node), in insertion order. The
// list does not own its nodes unless DeleteAll is called.
template <class T> class NodeList
{
public:
    T* First() const { return mHead; }
    T* Last() const { return mTail; }
    bool Empty() const { return mHead == nullptr; }
    static T* Next(const T* node) { return static_cast<T*>(node->next); }

    void Append(T* node)
    {
        node->prev = mTail;
        node->next = nullptr;
        if (mTail)
            mTail->next = node;
        else
            mHead = node;
        mTail = node;
    }

    void Remove(T* node)
    {
        if (node->prev)
            node->prev->next = node->next;
        else
            mHead = static_cast<T*>(node->next);
        if (node->next)
            node->next->prev = node->prev;
        else
            mTail = static_cast<T*>(node->prev);
        node->next = node->prev = nullptr;
    }

    // Destroys every node, first to last.
    void DeleteAll()
    {
        while (T* node = mHead)
        {
            Remove(node);
            delete node;
        }
    }

private:
    T* mHead = nullptr;
    T* mTail = nullptr;
};
