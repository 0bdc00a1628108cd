// Single-threaded signals and slots: a signal calls member functions of receivers that
// derive from signals::has_slots<>. Both sides record each connection, so whichever side
// dies first removes every connection between them and the other never calls into it.
//
// Emissions are re-entrant and survive what a slot may do meanwhile: destroy its own or any
// other receiver, disconnect, connect (new connections wait for the next emission), emit
// again, or destroy the signal itself (the emission then ends at once). Connections removed
// during an emission are deleted at once and their list entries swept once the outermost
// emission ends. Copying a receiver or a signal copies its connections. A connect or copy
// that runs out of memory throws and leaves no connection half made on either side.
//
// Emit, connect and destroy on the user-interface thread only; the lock of the single
// threaded policy does nothing.
#pragma once

#include <cstddef>
#include <iterator>
#include <list>
#include <memory>
#include <set>
#include <type_traits>

namespace signals {

class single_threaded {
public:
    single_threaded() = default;
    single_threaded(const single_threaded&) = default;
    single_threaded& operator=(const single_threaded&) = default;
    virtual ~single_threaded() = default;
    virtual void lock() {}
    virtual void unlock() {}
};

template <class mt_policy>
class lock_block {
public:
    explicit lock_block(mt_policy* mutex) : mutex_(mutex) { mutex_->lock(); }
    ~lock_block() {
        if (mutex_ != nullptr) mutex_->unlock();
    }
    lock_block(const lock_block&) = delete;
    lock_block& operator=(const lock_block&) = delete;
    // For an emission whose signal was destroyed under it: there is nothing left to unlock.
    void dismiss() { mutex_ = nullptr; }

private:
    mt_policy* mutex_;
};

template <class mt_policy>
class has_slots;

// What a receiver knows of a signal it is connected to.
template <class mt_policy>
class _signal_base : public mt_policy {
public:
    virtual void slot_disconnect(has_slots<mt_policy>* pslot) = 0;
    virtual void slot_duplicate(const has_slots<mt_policy>* poldslot,
                                has_slots<mt_policy>* pnewslot) = 0;
};

template <class mt_policy = single_threaded>
class has_slots : public mt_policy {
public:
    has_slots() = default;

    // The copy gets a connection of its own for each connection of the original. When an
    // allocation fails half-way, the connections made so far are taken back: no signal may
    // keep one to a holder that never finished construction.
    has_slots(const has_slots& other) : mt_policy() {
        lock_block<mt_policy> lock(this);
        try {
            for (_signal_base<mt_policy>* sender : other.senders_) {
                senders_.insert(sender);
                sender->slot_duplicate(&other, this);
            }
        } catch (...) {
            disconnect_all();
            throw;
        }
    }
    has_slots& operator=(const has_slots&) = delete;

    ~has_slots() override { disconnect_all(); }

    void signal_connect(_signal_base<mt_policy>* sender) {
        lock_block<mt_policy> lock(this);
        senders_.insert(sender);
    }

    void signal_disconnect(_signal_base<mt_policy>* sender) {
        lock_block<mt_policy> lock(this);
        senders_.erase(sender);
    }

    void disconnect_all() {
        lock_block<mt_policy> lock(this);
        // Taken out first, so the set is consistent whatever a sender does meanwhile.
        std::set<_signal_base<mt_policy>*> senders;
        senders.swap(senders_);
        for (_signal_base<mt_policy>* sender : senders) sender->slot_disconnect(this);
    }

private:
    std::set<_signal_base<mt_policy>*> senders_;
};

template <class mt_policy, class... Args>
class _connection_base_n {
public:
    virtual ~_connection_base_n() = default;
    virtual has_slots<mt_policy>* get_dest() const = 0;
    virtual void emit(Args... args) = 0;
    virtual _connection_base_n* clone() = 0;
    virtual _connection_base_n* duplicate(has_slots<mt_policy>* pnewdest) = 0;
};

template <class dest_type, class mt_policy, class... Args>
class _connection_n : public _connection_base_n<mt_policy, Args...> {
public:
    using member_function = void (dest_type::*)(Args...);

    _connection_n(dest_type* pobject, member_function pmemfun)
        : pdest_(pobject), pmemfun_(pmemfun) {}

    has_slots<mt_policy>* get_dest() const override { return pdest_; }

    // Arguments go on as received: references stay references, nothing is moved from.
    // A base's member called through the receiver's member pointer is a valid call that
    // the compiler's dynamic type check misreads (it checks the adjusted object).
    __attribute__((no_sanitize("vptr"))) void emit(Args... args) override {
        (static_cast<dest_type*>(pdest_)->*pmemfun_)(args...);
    }

    _connection_base_n<mt_policy, Args...>* clone() override { return new _connection_n(*this); }

    // The new holder may still be under construction (a receiver being copied), so it is
    // kept as a holder and turned into the receiver type only when a call is made.
    _connection_base_n<mt_policy, Args...>* duplicate(has_slots<mt_policy>* pnewdest) override {
        auto* copy = new _connection_n(*this);
        copy->pdest_ = pnewdest;
        return copy;
    }

private:
    _connection_n(const _connection_n&) = default;

    has_slots<mt_policy>* pdest_;
    member_function pmemfun_;
};

template <class mt_policy, class... Args>
class _signal_base_n : public _signal_base<mt_policy> {
public:
    using connection = _connection_base_n<mt_policy, Args...>;

    _signal_base_n() = default;

    // The copy is connected to every receiver of the original, once per connection. When
    // an allocation fails half-way, the receivers reached so far forget the copy again.
    _signal_base_n(const _signal_base_n& other) : _signal_base<mt_policy>() {
        lock_block<mt_policy> lock(this);
        try {
            for (connection* conn : other.connected_slots_) {
                if (conn == nullptr) continue;
                add_connection(std::unique_ptr<connection>(conn->clone()));
                conn->get_dest()->signal_connect(this);
            }
        } catch (...) {
            disconnect_all();
            throw;
        }
    }
    _signal_base_n& operator=(const _signal_base_n&) = delete;

    ~_signal_base_n() override {
        for (emit_frame* frame = frames_; frame != nullptr; frame = frame->outer) {
            frame->alive = false;
        }
        disconnect_all();
    }

    bool is_empty() const {
        for (connection* conn : connected_slots_) {
            if (conn != nullptr) return false;
        }
        return true;
    }

    void disconnect_all() {
        lock_block<mt_policy> lock(this);
        for (connection*& entry : connected_slots_) {
            connection* conn = entry;
            if (conn == nullptr) continue;
            entry = nullptr;
            conn->get_dest()->signal_disconnect(this);
            delete conn;
        }
        sweep();
    }

    // Removes every connection to one receiver, on both sides.
    void disconnect(has_slots<mt_policy>* pclass) {
        lock_block<mt_policy> lock(this);
        remove_connections_to(pclass);
        pclass->signal_disconnect(this);
    }

    // The receiver is disconnecting itself (it is the caller); its set is its own business.
    void slot_disconnect(has_slots<mt_policy>* pslot) override {
        lock_block<mt_policy> lock(this);
        remove_connections_to(pslot);
    }

    void slot_duplicate(const has_slots<mt_policy>* oldtarget,
                        has_slots<mt_policy>* newtarget) override {
        lock_block<mt_policy> lock(this);
        if (newtarget == nullptr) return;
        // Only the entries present now: the new ones are appended behind them.
        auto it = connected_slots_.begin();
        for (std::size_t n = connected_slots_.size(); n > 0; --n, ++it) {
            connection* conn = *it;
            if (conn != nullptr && conn->get_dest() == oldtarget) {
                add_connection(std::unique_ptr<connection>(conn->duplicate(newtarget)));
            }
        }
    }

protected:
    // The list owns the connection once it is in; a failed insertion deletes it.
    void add_connection(std::unique_ptr<connection> conn) {
        connected_slots_.push_back(conn.get());
        conn.release();
    }

    // Takes back the connection add_connection appended last (its receiver could not
    // record this signal).
    void drop_last_connection() {
        delete connected_slots_.back();
        connected_slots_.pop_back();
    }

    void emit_to_all(Args... args) {
        lock_block<mt_policy> lock(this);
        if (connected_slots_.empty()) return;
        emit_scope scope(this);
        // Connections made by a slot during this emission are called from the next one on.
        const auto last = std::prev(connected_slots_.end());
        for (auto it = connected_slots_.begin();; ++it) {
            // Entries are never erased while an emission runs; a removed connection only
            // leaves a null entry, so the walk is safe whatever the slot does.
            if (connection* conn = *it) conn->emit(args...);
            if (!scope.frame.alive) {
                lock.dismiss();
                return;
            }
            if (it == last) break;
        }
    }

private:
    struct emit_frame {
        bool alive;
        emit_frame* outer;
    };

    struct emit_scope {
        explicit emit_scope(_signal_base_n* signal) : signal(signal), frame{true, signal->frames_} {
            signal->frames_ = &frame;
            ++signal->emit_depth_;
        }
        ~emit_scope() {
            if (!frame.alive) return;
            signal->frames_ = frame.outer;
            --signal->emit_depth_;
            signal->sweep();
        }
        emit_scope(const emit_scope&) = delete;
        emit_scope& operator=(const emit_scope&) = delete;

        _signal_base_n* signal;
        emit_frame frame;
    };

    void remove_connections_to(has_slots<mt_policy>* pslot) {
        for (connection*& entry : connected_slots_) {
            if (entry != nullptr && entry->get_dest() == pslot) {
                delete entry;
                entry = nullptr;
            }
        }
        sweep();
    }

    void sweep() {
        if (emit_depth_ == 0) connected_slots_.remove(nullptr);
    }

    std::list<connection*> connected_slots_;
    emit_frame* frames_ = nullptr;
    int emit_depth_ = 0;
};

template <class mt_policy, class... Args>
class signal_n : public _signal_base_n<mt_policy, Args...> {
public:
    signal_n() = default;
    signal_n(const signal_n&) = default;
    signal_n& operator=(const signal_n&) = delete;

    // The receiver type comes from the object alone, so a method inherited from a base
    // class of it connects as well. Each call adds a connection, also for a pair that is
    // connected already. A null receiver connects nothing.
    template <class desttype>
    void connect(desttype* pclass, void (std::type_identity_t<desttype>::*pmemfun)(Args...)) {
        if (pclass == nullptr) return;
        lock_block<mt_policy> lock(this);
        this->add_connection(
            std::make_unique<_connection_n<desttype, mt_policy, Args...>>(pclass, pmemfun));
        try {
            static_cast<has_slots<mt_policy>*>(pclass)->signal_connect(this);
        } catch (...) {
            // A connection its receiver does not know of would outlive the receiver.
            this->drop_last_connection();
            throw;
        }
    }

    void emit(Args... args) { this->emit_to_all(args...); }
    void operator()(Args... args) { this->emit_to_all(args...); }
};

template <class mt_policy = single_threaded>
using _connection_base0 = _connection_base_n<mt_policy>;
template <class A1, class mt_policy = single_threaded>
using _connection_base1 = _connection_base_n<mt_policy, A1>;
template <class A1, class A2, class mt_policy = single_threaded>
using _connection_base2 = _connection_base_n<mt_policy, A1, A2>;
template <class A1, class A2, class A3, class mt_policy = single_threaded>
using _connection_base3 = _connection_base_n<mt_policy, A1, A2, A3>;
template <class A1, class A2, class A3, class A4, class mt_policy = single_threaded>
using _connection_base4 = _connection_base_n<mt_policy, A1, A2, A3, A4>;

template <class dest_type, class mt_policy = single_threaded>
using _connection0 = _connection_n<dest_type, mt_policy>;
template <class dest_type, class A1, class mt_policy = single_threaded>
using _connection1 = _connection_n<dest_type, mt_policy, A1>;
template <class dest_type, class A1, class A2, class mt_policy = single_threaded>
using _connection2 = _connection_n<dest_type, mt_policy, A1, A2>;
template <class dest_type, class A1, class A2, class A3, class mt_policy = single_threaded>
using _connection3 = _connection_n<dest_type, mt_policy, A1, A2, A3>;
template <class dest_type, class A1, class A2, class A3, class A4,
          class mt_policy = single_threaded>
using _connection4 = _connection_n<dest_type, mt_policy, A1, A2, A3, A4>;

template <class mt_policy = single_threaded>
using _signal_base0 = _signal_base_n<mt_policy>;
template <class A1, class mt_policy = single_threaded>
using _signal_base1 = _signal_base_n<mt_policy, A1>;
template <class A1, class A2, class mt_policy = single_threaded>
using _signal_base2 = _signal_base_n<mt_policy, A1, A2>;
template <class A1, class A2, class A3, class mt_policy = single_threaded>
using _signal_base3 = _signal_base_n<mt_policy, A1, A2, A3>;
template <class A1, class A2, class A3, class A4, class mt_policy = single_threaded>
using _signal_base4 = _signal_base_n<mt_policy, A1, A2, A3, A4>;

template <class mt_policy = single_threaded>
using signal0 = signal_n<mt_policy>;
template <class A1, class mt_policy = single_threaded>
using signal1 = signal_n<mt_policy, A1>;
template <class A1, class A2, class mt_policy = single_threaded>
using signal2 = signal_n<mt_policy, A1, A2>;
template <class A1, class A2, class A3, class mt_policy = single_threaded>
using signal3 = signal_n<mt_policy, A1, A2, A3>;
template <class A1, class A2, class A3, class A4, class mt_policy = single_threaded>
using signal4 = signal_n<mt_policy, A1, A2, A3, A4>;

}  // namespace signals
