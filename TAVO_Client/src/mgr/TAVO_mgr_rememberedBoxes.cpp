#include "TAVO_mgr_rememberedBoxes.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString arrayName = QStringLiteral("rememberedBoxes");
const QString addressKey = QStringLiteral("address");
const QString nameKey = QStringLiteral("name");
const QString organisation = QStringLiteral("TAVO");
const QString application = QStringLiteral("TAVO_Client");

} // namespace

QList<TAVO_mgr_rememberedBoxes::Box> TAVO_mgr_rememberedBoxes::boxes()
{
    QSettings stored(organisation, application);
    QList<Box> boxes;
    const int count = stored.beginReadArray(arrayName);
    for (int i = 0; i < count; ++i) {
        stored.setArrayIndex(i);
        const Box box{stored.value(addressKey).toString(), stored.value(nameKey).toString()};
        if (!box.address.isEmpty())
            boxes.append(box);
    }
    stored.endArray();
    return boxes;
}

void TAVO_mgr_rememberedBoxes::remember(const Box &box)
{
    QList<Box> all = boxes();
    const auto found = std::find_if(all.begin(), all.end(), [&box](const Box &entry) { return entry.address == box.address; });
    if (found != all.end())
        *found = box;
    else
        all.append(box);
    store(all);
}

void TAVO_mgr_rememberedBoxes::forget(const QString &address)
{
    QList<Box> all = boxes();
    all.erase(std::remove_if(all.begin(), all.end(), [&address](const Box &entry) { return entry.address == address; }),
              all.end());
    store(all);
}

void TAVO_mgr_rememberedBoxes::store(const QList<Box> &boxes)
{
    QSettings stored(organisation, application);
    stored.remove(arrayName);
    stored.beginWriteArray(arrayName, int(boxes.size()));
    for (int i = 0; i < boxes.size(); ++i) {
        stored.setArrayIndex(i);
        stored.setValue(addressKey, boxes.at(i).address);
        stored.setValue(nameKey, boxes.at(i).name);
    }
    stored.endArray();
}
