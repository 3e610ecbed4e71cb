#include "TAVO_mgr_rememberedBoxes.h"

#include "TAVO_mgr_clientSettings.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString arrayName = QStringLiteral("rememberedBoxes");
const QString addressKey = QStringLiteral("address");
const QString nameKey = QStringLiteral("name");

} // namespace

QList<TAVO_mgr_rememberedBoxes::Box> TAVO_mgr_rememberedBoxes::boxes()
{
    const std::unique_ptr<QSettings> stored = TAVO_mgr_clientSettings::open();
    QList<Box> boxes;
    const int count = stored->beginReadArray(arrayName);
    for (int i = 0; i < count; ++i) {
        stored->setArrayIndex(i);
        const Box box{stored->value(addressKey).toString(), stored->value(nameKey).toString()};
        if (!box.address.isEmpty())
            boxes.append(box);
    }
    stored->endArray();
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
    const std::unique_ptr<QSettings> stored = TAVO_mgr_clientSettings::open();
    stored->remove(arrayName);
    stored->beginWriteArray(arrayName, int(boxes.size()));
    for (int i = 0; i < boxes.size(); ++i) {
        stored->setArrayIndex(i);
        stored->setValue(addressKey, boxes.at(i).address);
        stored->setValue(nameKey, boxes.at(i).name);
    }
    stored->endArray();
}
