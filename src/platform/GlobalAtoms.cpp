#include "platform/GlobalAtoms.h"

#include <limits>

namespace {
constexpr std::size_t tableSize =
    std::size_t(std::numeric_limits<std::uint16_t>::max()) - GlobalAtoms::firstAtom + 1;
}

std::uint16_t GlobalAtoms::add(const QString& name) {
    if (name.isEmpty() || name.size() > maxNameLength) return 0;
    const QString key = name.toCaseFolded();
    if (const auto it = byName_.constFind(key); it != byName_.constEnd()) {
        ++slots_[*it - firstAtom].references;
        return *it;
    }
    std::size_t index = slots_.size();
    if (!freeSlots_.empty()) {
        index = *freeSlots_.begin();
        freeSlots_.erase(freeSlots_.begin());
    } else if (index == tableSize) {
        return 0;
    } else {
        slots_.emplace_back();
    }
    slots_[index] = Slot{name, 1};
    const auto atom = std::uint16_t(firstAtom + index);
    byName_.insert(key, atom);
    return atom;
}

bool GlobalAtoms::remove(std::uint16_t atom) {
    const auto index = indexOf(atom);
    if (!index) return false;
    Slot& s = slots_[*index];
    if (--s.references == 0) {
        byName_.remove(s.name.toCaseFolded());
        s.name.clear();
        freeSlots_.insert(*index);
    }
    return true;
}

QString GlobalAtoms::name(std::uint16_t atom) const {
    const auto index = indexOf(atom);
    return index ? slots_[*index].name : QString();
}

std::optional<std::size_t> GlobalAtoms::indexOf(std::uint16_t atom) const {
    if (atom < firstAtom) return std::nullopt;
    const std::size_t index = atom - firstAtom;
    if (index >= slots_.size() || slots_[index].references == 0) return std::nullopt;
    return index;
}
