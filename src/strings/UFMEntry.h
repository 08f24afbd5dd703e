#pragma once

#include <QString>

// One row of the user-facing text table, as the generated UFM class lists it.
struct UFMEntry {
    const char* accessorName;
    const char* key;     // the lookup key; nullptr for an alias
    const char* comment; // the translator's comment (UTF-8); nullptr when the entry passes none
    const char* aliasOf; // the accessor whose text an alias returns; nullptr otherwise
    QString (*text)();   // the accessor itself
};
