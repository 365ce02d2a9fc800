#pragma once

#include <QtGlobal>

namespace pagrion {

// The one instance of a platform stand-in the program currently uses. The
// program installs the real implementation at start-up; tests install fakes.
template <typename Interface>
class Current final
{
public:
    static Interface &get()
    {
        Q_ASSERT_X(s_instance, "Current", "no implementation installed");
        return *s_instance;
    }
    static void set(Interface *instance) { s_instance = instance; }
    static bool isSet() { return s_instance != nullptr; }

private:
    static inline Interface *s_instance = nullptr;
};

// Installs an implementation for the lifetime of a scope and restores the
// previous one afterwards.
template <typename Interface>
class ScopedCurrent final
{
public:
    explicit ScopedCurrent(Interface *instance)
        : m_previous(Current<Interface>::isSet() ? &Current<Interface>::get() : nullptr)
    {
        Current<Interface>::set(instance);
    }
    ~ScopedCurrent() { Current<Interface>::set(m_previous); }
    ScopedCurrent(const ScopedCurrent &) = delete;
    ScopedCurrent &operator=(const ScopedCurrent &) = delete;

private:
    Interface *m_previous;
};

} // namespace pagrion
