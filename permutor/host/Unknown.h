// The root of every host and module interface: interface ids, reference counting and the one
// smart pointer that holds them. Nothing else crosses the module/host boundary.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace permutor::host {

// A 128-bit interface id, written like {176E4210-AE60-445E-9BF2-A57815DC9EAF}.
struct TGuid {
    std::uint64_t Hi = 0;
    std::uint64_t Lo = 0;

    friend constexpr bool operator==(const TGuid&, const TGuid&) = default;

    // Parses the braced text form at compile time; a malformed literal fails to compile.
    static consteval TGuid FromString(std::string_view s) {
        if (s.size() != 38 || s[0] != '{' || s[37] != '}' || s[9] != '-' || s[14] != '-' || s[19] != '-' ||
            s[24] != '-')
            throw "malformed GUID";
        TGuid g;
        int n = 0;
        for (char c : s.substr(1, 36)) {
            if (c == '-')
                continue;
            std::uint64_t v;
            if (c >= '0' && c <= '9')
                v = std::uint64_t(c - '0');
            else if (c >= 'A' && c <= 'F')
                v = std::uint64_t(c - 'A' + 10);
            else if (c >= 'a' && c <= 'f')
                v = std::uint64_t(c - 'a' + 10);
            else
                throw "malformed GUID";
            std::uint64_t& half = n < 16 ? g.Hi : g.Lo;
            half = (half << 4) | v;
            ++n;
        }
        if (n != 32)
            throw "malformed GUID";
        return g;
    }

    std::string ToString() const;
};

#define PERMUTOR_INTERFACE_ID(text)                                                                          \
    static constexpr ::permutor::host::TGuid IID = ::permutor::host::TGuid::FromString(text)

// COM-style root. An object answers QueryInterface for every interface it offers; an object that
// does not answer counts as not offering it.
class IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{00000000-0000-0000-C000-000000000046}");
    virtual bool QueryInterface(const TGuid& iid, void** out) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// Holds one reference to an interface. Copying adds a reference, destruction releases it.
template <class T> class IPtr {
public:
    IPtr() = default;
    IPtr(std::nullptr_t) {}
    IPtr(T* p) : FPtr(p) {
        if (FPtr)
            FPtr->AddRef();
    }
    IPtr(const IPtr& o) : IPtr(o.FPtr) {}
    IPtr(IPtr&& o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> IPtr(const IPtr<U>& o) : IPtr(static_cast<T*>(o.get())) {}
    ~IPtr() { reset(); }

    IPtr& operator=(IPtr o) noexcept {
        std::swap(FPtr, o.FPtr);
        return *this;
    }

    // Takes over a reference that the caller already owns (no AddRef).
    static IPtr Adopt(T* p) {
        IPtr r;
        r.FPtr = p;
        return r;
    }
    T* detach() { return std::exchange(FPtr, nullptr); }

    void reset() {
        if (FPtr)
            std::exchange(FPtr, nullptr)->Release();
    }
    T* get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    T& operator*() const { return *FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }

    friend bool operator==(const IPtr& a, const IPtr& b) { return a.FPtr == b.FPtr; }
    friend bool operator==(const IPtr& a, std::nullptr_t) { return a.FPtr == nullptr; }

private:
    T* FPtr = nullptr;
};

// "Offers interface X": asks the object for X by id. Absent objects offer nothing.
template <class To, class From> IPtr<To> QueryInterface(From* from) {
    if (!from)
        return {};
    void* out = nullptr;
    if (!from->QueryInterface(To::IID, &out) || !out)
        return {};
    return IPtr<To>::Adopt(static_cast<To*>(out));
}
template <class To, class From> IPtr<To> QueryInterface(const IPtr<From>& from) {
    return QueryInterface<To>(from.get());
}

// Identity of a host object: the address of its IUnknown, the same whichever interface is held.
template <class T> std::uintptr_t ObjectIdentity(T* p) {
    auto u = QueryInterface<IUnknown>(p);
    return reinterpret_cast<std::uintptr_t>(u.get());
}

// Reference counting and QueryInterface for a class implementing the interfaces Is...
// The first interface is the object's identity. Objects are created with a count of zero; put
// them in an IPtr (or MakeObject) right away.
template <class... Is> class TUnknownImpl : public Is... {
public:
    bool QueryInterface(const TGuid& iid, void** out) override {
        *out = nullptr;
        if (iid == IUnknown::IID) {
            *out = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            (void)(Match<Is>(iid, out) || ...);
            if (!*out && !QueryExtra(iid, out))
                return false;
        }
        AddRef();
        return true;
    }
    std::uint32_t AddRef() override { return ++FRefCount; }
    std::uint32_t Release() override {
        auto n = --FRefCount;
        if (n == 0)
            delete this;
        return n;
    }
    std::uint32_t RefCount() const { return FRefCount; }

protected:
    virtual ~TUnknownImpl() = default;
    // Lets a class offer an interface it does not derive from (aggregation, base interfaces).
    virtual bool QueryExtra(const TGuid&, void**) { return false; }

private:
    // An interface that extends another names it as TBase; asking for the base finds it too.
    template <class I> bool Match(const TGuid& iid, void** out) {
        if (iid == I::IID) {
            *out = static_cast<I*>(this);
            return true;
        }
        if constexpr (requires { typename I::TBase; })
            return Match<typename I::TBase>(iid, out);
        return false;
    }
    template <class F, class...> struct FirstOf { using type = F; };
    using First = typename FirstOf<Is...>::type;
    std::atomic<std::uint32_t> FRefCount{0};
};

template <class T, class... Args> IPtr<T> MakeObject(Args&&... args) {
    return IPtr<T>(new T(std::forward<Args>(args)...));
}

} // namespace permutor::host
