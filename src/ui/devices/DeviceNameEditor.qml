import QtQuick
import Tavo.Kit
import Tavo.Devices

// The box's name while its card is being renamed; the draft lives on the card.
TavoField {
    required property DeviceCard card
    objectName: "nameEditor"
    text: card.draftDeviceName
    onTextEdited: card.draftDeviceName = text
    inputMethodHints: Qt.ImhNoPredictiveText
}
