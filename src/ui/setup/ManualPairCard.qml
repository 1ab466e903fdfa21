import QtQuick
import Tavo.Store
import Tavo.Kit
import Tavo.Setup

// Claiming by the code the box shows; the code is shaped as it is typed. A code the box
// already reported (an automatic claim that could not reach the cloud) is filled in.
AddCard {
    id: card
    objectName: "manualPairCard"
    property string code: Input.pairCodeInput(Store.provPairCode)
    Text {
        width: parent.width
        wrapMode: Text.Wrap
        text: Store.provHeadline
        color: Theme.text
        font.pixelSize: Theme.fontBody
    }
    TavoLabel { text: "Pair code" }
    TavoField {
        objectName: "pairCodeField"
        width: parent.width
        placeholderText: "ABCD-1234"
        font.letterSpacing: 2
        focus: true
        text: card.code
        onTextEdited: {
            card.code = Input.pairCodeInput(text)
            if (text !== card.code) text = card.code
        }
        onAccepted: if (claimButton.enabled) claimButton.clicked()
    }
    TavoPrimaryButton {
        id: claimButton
        objectName: "claimBox"
        width: parent.width
        text: Store.busy ? "Claiming…" : "Claim this box"
        enabled: Input.canClaimCode(card.code, Store.busy)
        onClicked: Store.manualClaim(card.code)
    }
}
