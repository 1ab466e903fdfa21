import QtQuick
import Tavo.Store
import Tavo.Kit

// One message: the user's on the right in the accent, the assistant's on the left; an error
// in the danger colour; the relays a reply switched as a caption under its text.
Item {
    id: bubble
    property bool isUser: false
    property string content: ""
    property int fired: 0
    property bool err: false
    property real maxWidth: width * 0.78
    implicitHeight: body.height + Theme.s2

    Rectangle {
        id: body
        anchors.right: bubble.isUser ? parent.right : undefined
        anchors.left: bubble.isUser ? undefined : parent.left
        width: Math.min(bubble.maxWidth, Math.max(bodyText.implicitWidth, caption.visible ? caption.implicitWidth : 0) + 2 * Theme.s4)
        height: column.implicitHeight + 2 * Theme.s3
        radius: 18
        color: bubble.err ? Theme.dangerSoft : bubble.isUser ? Theme.accent : Theme.surfaceHigh
        border.width: bubble.isUser ? 0 : 1
        border.color: bubble.err ? Theme.danger : Theme.stroke

        Column {
            id: column
            x: Theme.s4
            y: Theme.s3
            width: parent.width - 2 * Theme.s4
            spacing: Theme.s1
            Text {
                id: bodyText
                objectName: "bubbleText"
                width: Math.min(implicitWidth, parent.width)
                text: bubble.content
                wrapMode: Text.Wrap
                textFormat: Text.PlainText
                color: bubble.err ? Theme.danger : bubble.isUser ? Theme.accentText : Theme.text
                font.pixelSize: Theme.fontBody
                lineHeight: 1.15
            }
            Text {
                id: caption
                objectName: "firedCaption"
                visible: caption.text !== ""
                text: App.chat.firedCaption(bubble.fired) === "" ? "" : "⚡ " + App.chat.firedCaption(bubble.fired)
                color: bubble.isUser ? Theme.accentText : Theme.accent
                font.pixelSize: Theme.fontCaption
                font.weight: Font.DemiBold
                font.letterSpacing: 0.4
            }
        }
    }
}
