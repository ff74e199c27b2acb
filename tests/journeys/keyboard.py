"""The keyboard alone in the panel: Tab moves the focus and the control that has it is
marked with the focus ring (the tree's "focused" state and the ring's pixels around it);
Space and Return each press it."""

from journey import run


def journey(app):
    panel = app.panel()
    awake = app.find("check box", "Stay awake", within=panel)
    app.tab_to(awake)
    app.ring_around(awake)
    app.key("space")
    app.wait("keep-awake on", lambda: awake.has("checked") and app.holds_sleep())
    app.key("Return")
    app.wait("keep-awake off", lambda: not awake.has("checked") and not app.holds_sleep())

    chip = app.find("push button", "Charge limit off", within=panel)
    app.tab_to(chip)
    app.ring_around(chip)
    app.key("Return")
    app.find("filler", "Charge limit", within=panel)  # the choices opened
    app.key("space")
    app.absent("filler", "Charge limit", within=panel)

    app.find("check box", "NOW", within=panel).click()  # a press of the pointer takes the ring away
    app.wait("no ring after a click", lambda: not app.ring_shown(chip))


run(journey, "--demo", "--open")
