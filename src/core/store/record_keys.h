#pragma once
// Keys and owner values of the records that are not notes. Every record has
// the Note record's shape; these hold the section list, the section shown
// last, each section's tree and the master list of index values.
#include <QtCore/QString>

namespace vellicar::store {

// Primary keys.
inline constexpr char16_t SectionsKey[] = u"Sections";         // Body: section list
inline constexpr char16_t WhichSectionKey[] = u"WhichSection"; // Title: two-digit tab position
inline constexpr char16_t StatusValuesKey[] = u"StatusValues"; // Title: master list of index values

// Suffixes appended to a section key.
inline constexpr char16_t TreeSuffix[] = u"Tree"; // Title: current node key, Body: Tree blob
inline constexpr char16_t CategoriesSuffix[] =
    u"Categories"; // Body: nine category names (old form)

// Owner values of the special records.
inline constexpr char16_t SectionsOwner[] = u"Desc";
inline constexpr char16_t WhichSectionOwner[] = u"WhichSection";
inline constexpr char16_t SectionTreeOwner[] = u"SectionTree";
inline constexpr char16_t StatusValuesOwner[] = u"Status";

inline QString treeKey(const QString& sectionKey) {
    return sectionKey + QString::fromUtf16(TreeSuffix);
}
inline QString categoriesKey(const QString& sectionKey) {
    return sectionKey + QString::fromUtf16(CategoriesSuffix);
}

} // namespace vellicar::store
