import QtQuick
import Tavo.Kit
import Tavo.Devices

// One field per relay while the card is being renamed; the drafts live on the card.
Column {
    id: editor
    required property DeviceCard card
    spacing: Theme.s2
    TavoLabel { text: "Rename relays" }
    Repeater {
        model: editor.card.relayCount
        delegate: TavoField {
            required property int index
            readonly property string key: String(index + 1)
            objectName: "relayNameField_" + key
            width: editor.width
            height: 38
            placeholderText: "Relay " + key
            text: editor.card.draftRelayNames[key] !== undefined ? editor.card.draftRelayNames[key] : ""
            onTextEdited: { const d = editor.card.draftRelayNames; d[key] = text; editor.card.draftRelayNames = d }
        }
    }
}
