#pragma once
// A table of named 16-bit values: adding a name gives its value (0xC000 upwards), the same value for
// the same name while it exists; each add is matched by a remove. Names compare without regard to case.
// The player takes its hot-key identifiers from here. Not thread-safe: used on the GUI thread.

#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

class GlobalAtoms {
public:
    static constexpr std::uint16_t firstAtom = 0xC000;
    static constexpr qsizetype maxNameLength = 255;

    // The name's value, its reference count raised by one; 0 for an empty name, a name longer than
    // maxNameLength characters, or a full table.
    std::uint16_t add(const QString& name);
    // Lowers the value's reference count; at zero the name is forgotten and the value may be reused.
    // False when no such value exists.
    bool remove(std::uint16_t atom);
    // The name as first added, or an empty text for an unknown value.
    QString name(std::uint16_t atom) const;

private:
    struct Slot {
        QString name;
        int references = 0;
    };
    // The slot index of a value in use.
    std::optional<std::size_t> indexOf(std::uint16_t atom) const;

    std::vector<Slot> slots_;              // index = atom - firstAtom; a slot with no references is free
    std::set<std::size_t> freeSlots_;      // freed slots, lowest reused first
    QHash<QString, std::uint16_t> byName_; // case-folded name -> atom
};
