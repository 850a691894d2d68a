#pragma once

#include <QString>

namespace kesola {

// What distinguishes one name master editor from another: its table, its slot range and its captions.
// An editor works on the codes of its range and on nothing else, so records with other codes are never touched.
struct NameMasterKind {
    QString table;
    QString nameField;
    QString windowName;  // the caption after SYS_TITLE
    QString nameLabel;   // the caption of LBL(2)
    int lastSlot;        // slots run from 1 to lastSlot
    int codeLength;      // 2: "01".."99" with a leading zero; 1: "1".."9"
    int maximumWidth;    // cp932 bytes a name may take, blanks around it not counted

    // The code of slot n, as stored in CODE and shown at the start of a list row.
    QString code(int n) const;
    // The slot whose row is at this position of the list (0 for the first).
    QString codeAtRow(int row) const { return code(row + 1); }
    // The list position of a code of this range; -1 for any other text.
    int rowOf(const QString& code) const;
};

const NameMasterKind& bodyPartMaster();
const NameMasterKind& roomMaster();
const NameMasterKind& departmentMaster();

}  // namespace kesola
