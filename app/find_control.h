#pragma once
// A window's control by its object name, for tests and measuring tools that
// drive the window from outside: the window keeps its widget pointers to
// itself, and its controls carry the names the rest of the system knows.

#include <QObject>
#include <QString>
#include <memory>

namespace orvald {

template <typename T, typename Root>
T* Find(Root* root, const char* name) {
  return root->template findChild<T*>(QString::fromLatin1(name));
}

template <typename T, typename Root>
T* Find(const std::unique_ptr<Root>& root, const char* name) {
  return Find<T>(root.get(), name);
}

}  // namespace orvald
