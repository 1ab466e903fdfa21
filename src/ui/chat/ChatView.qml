import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tavo.Store
import Tavo.Kit
import Tavo.Chat

// The conversation with the assistant, as the chat tab or inside the drawer.
Item {
    id: chat
    property bool asTab: true
    property bool closable: false
    property string draft: ""
    property bool showThreadsList: false
    // Room kept free at the bottom for the bars that float over the chat.
    property real bottomInset: asTab ? 96 : Theme.s4
    signal closeRequested()


    function submit() {
        const text = chat.draft.trim()
        if (!Input.canSend(text, Store.chatBusy)) return
        chat.draft = ""
        Store.sendChat(text)
    }

    Component.onCompleted: Store.loadSkills()

    ColumnLayout {
        anchors.fill: parent
        anchors.topMargin: Theme.s4
        anchors.bottomMargin: chat.bottomInset
        spacing: Theme.s3

        // Header
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: Theme.s3
            Layout.rightMargin: Theme.s3
            spacing: Theme.s2
            TavoGhostButton {
                objectName: "conversationsButton"
                small: true
                glyph: "line.3.horizontal"
                text: chat.width < 460 ? "" : "Conversations" // the icon alone where room is short
                Accessible.name: "Conversations"
                onClicked: chat.showThreadsList = !chat.showThreadsList
            }
            Column {
                Layout.leftMargin: Theme.s2
                Row {
                    Text { text: "Tavo"; color: Theme.text; font.pixelSize: Theme.fontHeading; font.weight: Font.Bold }
                    Text { text: " · chat"; color: Theme.textDim; font.pixelSize: Theme.fontHeading }
                }
                Text { text: "ASK, AND IT'S DONE"; color: Theme.textFaint; font.pixelSize: Theme.fontCaption; font.letterSpacing: 1.2 }
            }
            Item { Layout.fillWidth: true }
            TavoGhostButton { objectName: "newChat"; small: true; glyph: "square.and.pencil"; Accessible.name: "New chat"; ToolTip.visible: hovered; ToolTip.text: "New chat"; onClicked: Store.newChatThread() }
            TavoGhostButton {
                objectName: "closeChat"
                visible: chat.closable
                small: true
                glyph: "xmark"
                Accessible.name: "Close chat"
                onClicked: chat.closeRequested()
            }
        }

        // Messages
        ListView {
            id: list
            objectName: "messageList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: Theme.s1
            leftMargin: Theme.s4
            rightMargin: Theme.s4
            model: App.chat
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}
            function toEnd() { atEnd.restart() }
            Timer { id: atEnd; interval: 0; onTriggered: list.positionViewAtEnd() } // once the new rows are laid out
            onCountChanged: toEnd()
            onContentHeightChanged: if (Store.chatBusy) toEnd() // a streaming reply stays in view
            Connections {
                target: Store
                function onChatTypingChanged() { list.toEnd() }
                function onChatLiveStatusChanged() { list.toEnd() }
            }

            header: Column {
                width: list.width - list.leftMargin - list.rightMargin
                visible: App.chat.count === 0
                height: visible ? implicitHeight : 0
                spacing: Theme.s3
                ChatBubble {
                    objectName: "greeting"
                    width: parent.width
                    content: App.chat.greeting
                }
                Flow {
                    objectName: "quickChips"
                    width: parent.width
                    spacing: Theme.s2
                    Repeater {
                        model: App.chat.chips
                        Button {
                            id: chip
                            text: modelData
                            objectName: "chip_" + index
                            enabled: !Store.chatBusy
                            font.pixelSize: Theme.fontSmall
                            Keys.onReturnPressed: clicked()
                            onClicked: Store.sendChat(modelData)
                            FocusRing { shown: chip.visualFocus; baseRadius: 16 }
                            contentItem: Text { text: chip.text; font: chip.font; color: chip.hovered ? Theme.text : Theme.textDim }
                            background: Rectangle { radius: 16; color: chip.hovered ? Theme.surfaceHigh : "transparent"; border.width: 1; border.color: Theme.strokeStrong }
                            leftPadding: Theme.s3; rightPadding: Theme.s3; topPadding: 7; bottomPadding: 7
                        }
                    }
                }
                Item { width: 1; height: Theme.s2 }
            }
            delegate: ChatBubble {
                width: ListView.view.width - ListView.view.leftMargin - ListView.view.rightMargin
                isUser: model.isUser
                content: model.content
                fired: model.fired
                err: model.err
            }
            footer: Item {
                width: list.width - list.leftMargin - list.rightMargin
                height: Math.max(live.visible || typing.visible ? 36 : 0, 1)
                ChatLiveStatus {
                    id: live
                    objectName: "liveStatus"
                    visible: App.chat.hasLiveStatus
                    text: App.chat.liveStatus
                    anchors.verticalCenter: parent.verticalCenter
                }
                Row {
                    id: typing
                    objectName: "typingRow"
                    visible: !App.chat.hasLiveStatus && Store.chatTyping
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 5
                    Repeater {
                        model: 3
                        Rectangle {
                            width: 7; height: 7; radius: 3.5
                            color: Theme.textDim
                            SequentialAnimation on opacity {
                                running: typing.visible
                                loops: Animation.Infinite
                                PauseAnimation { duration: index * 160 }
                                NumberAnimation { from: 0.25; to: 1; duration: 320 }
                                NumberAnimation { from: 1; to: 0.25; duration: 320 }
                                PauseAnimation { duration: (2 - index) * 160 }
                            }
                        }
                    }
                }
            }
        }

        // Composer
        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: Theme.s4
            Layout.rightMargin: Theme.s4
            spacing: Theme.s2
            TavoField {
                id: composer
                objectName: "composer"
                Layout.fillWidth: true
                placeholderText: "Turn off the fan, dim the lights…"
                text: chat.draft
                onTextEdited: chat.draft = text
                onAccepted: chat.submit()
            }
            Button {
                id: send
                objectName: "sendButton"
                enabled: Input.canSend(chat.draft, Store.chatBusy)
                implicitWidth: Theme.controlHeight
                implicitHeight: Theme.controlHeight
                Accessible.name: "Send"
                Keys.onReturnPressed: clicked()
                onClicked: chat.submit()
                FocusRing { shown: send.visualFocus; baseRadius: width / 2 }
                contentItem: Item { Glyph { anchors.centerIn: parent; name: "arrow.right"; size: 18; color: send.enabled ? Theme.accentText : Theme.textFaint } }
                background: Rectangle { radius: width / 2; color: send.enabled ? Theme.accent : Theme.surfaceHigh }
            }
        }
    }

    ChatThreadsListView {
        objectName: "threadsPanel"
        anchors.fill: parent
        visible: chat.showThreadsList
        bottomInset: chat.bottomInset
        chat: App.chat
        onCloseRequested: chat.showThreadsList = false
    }
}
