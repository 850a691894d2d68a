#include "masters/NameMasterKind.h"

#include "masters/MasterTexts.h"
#include "store/Numbers.h"

namespace kesola {

using namespace master_texts;

QString NameMasterKind::code(int n) const { return codeLength == 2 ? twoDigits(n) : QString::number(n); }

int NameMasterKind::rowOf(const QString& text) const {
    for (int n = 1; n <= lastSlot; ++n) {
        if (code(n) == text) return n - 1;
    }
    return -1;
}

const NameMasterKind& bodyPartMaster() {
    static const NameMasterKind kind{
        QStringLiteral("BU"), QStringLiteral("BNAME"), kBodyPartWindowName, kBodyPartName, 99, 2, 16};
    return kind;
}

const NameMasterKind& roomMaster() {
    static const NameMasterKind kind{
        QStringLiteral("ROOM"), QStringLiteral("RNAME"), kRoomWindowName, kRoomName, 9, 1, 20};
    return kind;
}

const NameMasterKind& departmentMaster() {
    static const NameMasterKind kind{
        QStringLiteral("KA"), QStringLiteral("KNAME"), kDepartmentWindowName, kDepartmentName, 99, 2, 16};
    return kind;
}

}  // namespace kesola
