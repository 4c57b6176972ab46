#include "core/links/link_blob.h"

#include "core/tree/fixed_width.h"

namespace vellicar::links {

namespace fw = vellicar::fixedwidth;

LinkBlobWrite writeLinkBlob(const QList<Link>& links) {
    LinkBlobWrite w;
    QString blob;
    for (qsizetype i = 0; i < links.size(); ++i) {
        const Link& l = links[i];
        if (!fw::appendField(blob, l.description, 3) || !fw::appendField(blob, l.value, 3)) {
            w.error = QStringLiteral("The link \"%1\" (number %2) has a description or value "
                                     "longer than %3 characters.")
                          .arg(l.description.left(60))
                          .arg(i + 1)
                          .arg(MaxLinkFieldLength);
            return w;
        }
    }
    w.blob = std::move(blob);
    return w;
}

LinkBlobRead readLinkBlob(const QString& blob) {
    LinkBlobRead result;
    fw::Reader r(blob);
    // Reads one field; on a shortfall the rest of the text becomes the field.
    auto readField = [&](QString& out) {
        if (r.field(3, out, /*lenient=*/true))
            return true;
        const qsizetype at = r.position();
        int announced = 0;
        if (r.lenientNumber(3, announced))
            out = QStringView(blob).mid(r.position()).toString();
        else
            out = QStringView(blob).mid(at).toString();
        result.damage = QStringLiteral("The links end early at character %1.").arg(at + 1);
        return false;
    };
    while (!r.atEnd()) {
        Link l;
        if (!readField(l.description)) {
            result.links.append(l);
            break;
        }
        if (!readField(l.value)) {
            result.links.append(l);
            break;
        }
        result.links.append(l);
    }
    return result;
}

int WhichIcon(const QString& value) {
    auto has = [&](const char* text) {
        return value.contains(QLatin1String(text), Qt::CaseInsensitive);
    };
    if (value.contains(QChar(0x00B6)))
        return 14;
    if (has("mailto:"))
        return 24;
    if (has("://"))
        return 6;
    if (has("explorer.exe"))
        return 23;
    if (has(".xls"))
        return 30;
    if (has(".mdb"))
        return 33;
    if (has(".gif") || has(".bmp") || has(".ico") || has(".wmf"))
        return 29;
    if (has(".htm"))
        return 28;
    if (has(".txt"))
        return 27;
    if (has(".DOC") || has(".wri"))
        return 5;
    if (has(".EXE"))
        return 25;
    return 26;
}

} // namespace vellicar::links
