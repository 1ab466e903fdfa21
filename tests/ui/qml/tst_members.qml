import QtQuick
import QtTest
import Tavo.Store
import Tavo.Kit
import Tavo

// Sharing a box from its members screen: the roles, the relay chips, the refusal of an
// invite to no relay, the share link for someone WhatsApp can't reach yet, and removing them.
ScreenCase {
    id: tc
    name: "Members"

    Component { id: root; RootView { anchors.fill: parent } }

    function initTestCase() { Hub.reset(); verify(Hub.signInDemo()) }

    function membersOf(name) {
        const view = createTemporaryObject(root, tc)
        const loader = findChild(view, "rootScreen")
        let c = null
        tryVerify(() => { c = loader.item && deviceCard(loader.item, name); return c !== null }, 5000)
        waitForRendering(view)
        mouseClick(findChild(c, "action_members"))
        tryCompare(Store, "screenName", "members(1)")
        tryVerify(() => findChild(loader.item, "member_+919876543210") !== null, 5000)
        waitForRendering(view)
        return [view, loader.item]
    }

    function test_inviteShareAndRemove() {
        const [view, screen] = membersOf("Living Room")
        compare(findChild(screen, "membersBoxName").text, "Living Room")
        const owner = findChild(screen, "member_+919876543210")
        compare(owner.role, "owner")
        verify(!findChild(owner, "memberRemove").visible)

        // Every relay is picked at first; "None" clears them and the chip then offers "All".
        const all = findChild(screen, "chipAll")
        compare(JSON.stringify(screen.invRelays), JSON.stringify([1, 2, 3, 4]))
        compare(findChild(screen, "chipRelay2").label, "Lamp")
        compare(all.label, "None")
        mouseClick(all)
        compare(JSON.stringify(screen.invRelays), "[]")
        compare(all.label, "All")
        screen.invCountry = Input.country("IN")
        screen.invNational = "9800000555"
        const before = requestCount("POST", "/v1/device/1/invite")
        mouseClick(findChild(screen, "inviteButton"))
        compare(Store.toast, "Invalid relay list")
        verify(Store.toastIsError)
        wait(150)
        compare(requestCount("POST", "/v1/device/1/invite"), before)
        Hub.clearToast()

        // Lamp only, to someone who never wrote to Tavo: added, with a link to send by hand.
        mouseClick(findChild(screen, "chipRelay2"))
        compare(JSON.stringify(screen.invRelays), JSON.stringify([2]))
        mouseClick(findChild(screen, "inviteButton"))
        tryCompare(Store, "toast", "Added — WhatsApp couldn't reach them yet", 5000)
        const share = findChild(screen, "shareCard")
        tryVerify(() => share.visible, 5000)
        verify(Store.pendingInviteShareLink.indexOf("https://wa.me/") === 0, Store.pendingInviteShareLink)
        let invited = null
        tryVerify(() => { invited = findChild(screen, "member_+919800000555"); return invited !== null }, 5000)
        compare(invited.role, "member")
        waitForRendering(view)
        shot(view, "members-share-link")

        Hub.clearToast()
        mouseClick(findChild(invited, "memberRemove"))
        tryCompare(Store, "toast", "Removed", 5000)
        tryVerify(() => findChild(screen, "member_+919800000555") === null, 5000)
        mouseClick(findChild(screen, "membersBack"))
        tryCompare(Store, "screenName", "home")
    }
}
