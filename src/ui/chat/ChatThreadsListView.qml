import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tavo.Store
import Tavo.Kit
import Tavo.Chat

// The saved conversations, over the chat.
Rectangle {
    id: list
    property var chat // the ChatModel
    property real bottomInset: Theme.s4 // clear of whatever floats over the bottom
    signal closeRequested()
    color: Theme.surface
    // Read afresh each time it opens: conversations begun or changed since then are listed.
    onVisibleChanged: if (visible) Store.loadChatThreads()
    Component.onCompleted: if (visible) Store.loadChatThreads()

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: Theme.s4
        anchors.bottomMargin: list.bottomInset
        spacing: Theme.s3
        RowLayout {
            Layout.fillWidth: true
            TavoGhostButton { small: true; glyph: "chevron.left"; Accessible.name: "Back to chat"; onClicked: list.closeRequested() }
            Text { text: "Conversations"; color: Theme.text; font.pixelSize: Theme.fontHeading; font.weight: Font.DemiBold }
            Item { Layout.fillWidth: true }
            TavoGhostButton {
                small: true
                glyph: "square.and.pencil"
                text: "New"
                Accessible.name: "New chat"
                onClicked: { Store.newChatThread(); list.closeRequested() }
            }
        }
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Spinner { anchors.centerIn: parent; visible: Store.chatThreadsLoading }
            Column {
                objectName: "threadsEmpty"
                anchors.centerIn: parent
                visible: !Store.chatThreadsLoading && list.chat.threads.length === 0
                spacing: Theme.s1
                Text { anchors.horizontalCenter: parent.horizontalCenter; text: "No conversations yet."; color: Theme.text; font.pixelSize: Theme.fontBody }
                Text { anchors.horizontalCenter: parent.horizontalCenter; text: "Start chatting to save one."; color: Theme.textFaint; font.pixelSize: Theme.fontSmall }
            }
            ListView {
                objectName: "threadsList"
                anchors.fill: parent
                visible: !Store.chatThreadsLoading && list.chat.threads.length > 0
                clip: true
                spacing: Theme.s1
                model: list.chat.threads
                ScrollBar.vertical: ScrollBar {}
                delegate: ChatThreadRowView {
                    width: ListView.view.width
                    thread: modelData
                    isActive: modelData.id === Store.currentThreadID
                    onTapped: { Store.openChatThread(modelData.id); list.closeRequested() }
                    onDeleteRequested: Store.deleteChatThread(modelData.id)
                }
            }
        }
    }
}
