#include "TAVO_ui_recordingQuestion.h"

#include "TAVO_mgr_recordedBoxes.h"
#include "TAVO_ui_channelSwitcher.h"
#include "TAVO_ui_controller.h"
#include "TAVO_ui_shortText.h"

#include <QLoggingCategory>
#include <QMessageBox>

#include <algorithm>
#include <iterator>

Q_LOGGING_CATEGORY(lcRecordingQuestion, "tavo.ui.recordingQuestion", QtInfoMsg)

namespace {

// The keys that change what a box sends: its channel, its power and its source.
const char *const changingKeys[] = {
    "NUM_0", "NUM_1", "NUM_2", "NUM_3", "NUM_4", "NUM_5", "NUM_6", "NUM_7", "NUM_8", "NUM_9", "NUM_10_100",
    "CH_UP", "CH_DN",
    "PWR", "STANDBY",
    "INPUT", "HDMI_1", "HDMI_2", "HDMI_3", "HDMI_4", "DTV", "ATV", "CVBS_1", "CVBS_2", "SCART", "VGA",
    "YPBPR_1", "YPBPR_2",
};

} // namespace

TAVO_ui_recordingQuestion::TAVO_ui_recordingQuestion(TAVO_ui_controller *panel, TAVO_ui_channelSwitcher *switcher,
                                                     TAVO_mgr_recordedBoxes *boxes)
    : QObject(panel)
    , panel(panel)
    , switcher(switcher)
    , boxes(boxes)
{
    panel->keyGate = [this](const char *keyName) { return mayGo(keyName); };
    connect(boxes, &TAVO_mgr_recordedBoxes::changed, this, &TAVO_ui_recordingQuestion::forgetEndedRecordings);
}

bool TAVO_ui_recordingQuestion::changesWhatIsRecorded(const QString &keyName)
{
    return std::any_of(std::begin(changingKeys), std::end(changingKeys),
                       [&](const char *key) { return keyName == QLatin1String(key); });
}

bool TAVO_ui_recordingQuestion::mayGo(const char *keyName)
{
    if (!panel->server || !changesWhatIsRecorded(QLatin1String(keyName)))
        return true;
    const QString udn = panel->server->device.UDN;
    // As the locks are now: a recording may have begun since they were last read.
    boxes->probe();
    const QString recorder = boxes->recorderOf(udn);
    if (recorder.isEmpty() || goAhead.value(udn) == recorder)
        return true;
    // A button that repeats while the question is open gets no answer of its own.
    if (asking)
        return false;
    asking = true;
    const QString boxName = TAVO_ui_shortText::bounded(panel->server->device.friendlyName, TAVO_ui_shortText::nameChars);
    const bool goOn = askToGoOn(boxName, recorder);
    asking = false;
    qCDebug(lcRecordingQuestion) << keyName << (goOn ? "goes to" : "held back from") << udn;
    if (!goOn) {
        switcher->drop(tr("%1 is being recorded.").arg(boxName));
        return false;
    }
    goAhead.insert(udn, recorder);
    return true;
}

bool TAVO_ui_recordingQuestion::askToGoOn(const QString &boxName, const QString &recorder)
{
    QWidget *over = panel->isVisible() || !panel->parentWidget ? static_cast<QWidget *>(panel) : panel->parentWidget;
    QMessageBox box(QMessageBox::Question, tr("Recording"),
                    tr("%1 is being recorded. Change what is recorded?").arg(boxName),
                    QMessageBox::Yes | QMessageBox::No, over);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(tr("It is recorded by %1.").arg(recorder));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

// A recording that ended takes its answer with it: the next one asks again.
void TAVO_ui_recordingQuestion::forgetEndedRecordings()
{
    for (auto it = goAhead.begin(); it != goAhead.end();) {
        if (boxes->recorderOf(it.key()) != it.value())
            it = goAhead.erase(it);
        else
            ++it;
    }
}
