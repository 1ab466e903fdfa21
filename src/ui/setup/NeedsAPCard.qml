import QtQuick
import Tavo.Store
import Tavo.Kit
import Tavo.Setup

// No box answered: how to join its hotspot, then retry or type the code.
AddCard {
    objectName: "needsAPCard"
    Text {
        width: parent.width
        wrapMode: Text.Wrap
        text: Store.provHeadline
        color: Theme.text
        font.pixelSize: Theme.fontBody
        font.weight: Font.DemiBold
    }
    Text {
        width: parent.width
        wrapMode: Text.Wrap
        textFormat: Text.StyledText
        color: Theme.textDim
        font.pixelSize: Theme.fontBody
        text: "Open <b>Wi-Fi settings</b> and join the <b>Tavo-XXXX</b> hotspot shown on your box, then come back and tap Retry."
    }
    Row {
        spacing: Theme.s2
        TavoPrimaryButton {
            objectName: "retryScan"
            width: 150
            text: "Retry scan"
            onClicked: Store.scanForBox()
        }
        TavoGhostButton {
            objectName: "pairCode"
            anchors.verticalCenter: parent.verticalCenter
            text: "Pair code"
            onClicked: Store.showManualPair()
        }
    }
}
