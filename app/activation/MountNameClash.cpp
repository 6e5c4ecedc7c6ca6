#include "app/activation/MountNameClash.h"

namespace MountNameClash {

QMap<QString, QString> find(const QList<Filespace>& filespaces) {
    QMap<QString, QString> firstByFolder;
    QMap<QString, QString> clashes;
    for (const Filespace& f : filespaces) {
        const auto first = firstByFolder.constFind(f.mountName);
        if (first == firstByFolder.cend())
            firstByFolder.insert(f.mountName, f.name);
        else
            clashes.insert(f.id, *first);
    }
    return clashes;
}

} // namespace MountNameClash
