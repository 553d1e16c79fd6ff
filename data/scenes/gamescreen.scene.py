# The game scene: the play screen's sprites, read by scenegen.py.
#
# Places are window coordinates of the 768 x 1024 window (x right, y down). The play screen moves
# some sprites by name when the scene is inserted (the offsets below, for a scene made for
# 1024 x 768); the generator takes them off, so what is written here is where things show.
# Sprites listed under STRETCHED are sized to the window by the play screen; their rectangles are
# given in the scene's own 1024 x 768.
#
# Key numbers in comments count from 0, as the play screen plays them.

from scenegen import (broadcast, emitter, empty, font, go_to_key, key, offsets,
                      picture, scene, sprite)

scene("gamescreen")

W, H = 768, 1024
SCENE_RECT = (0, 0, 1024, 768)
offsets({
    "Playfield": (W // 2 - 512, 0), "VolumeToggle": (W // 2 - 512, 0),
    "GameOverPopup": (W // 2 - 512, H // 2 - 384), "PurchaseMessage": (W // 2 - 512, H // 2 - 384),
    "PausedMessage": (W // 2 - 512, H // 2 - 384), "StartMessage": (W // 2 - 512, H // 2 - 384),
    "JukeButtonContainer": (0, H // 2 - 384 - 100),
    "Meters": (W - 1024, 0), "persohud": (W - 1024, 0), "ScoresButton": (W - 1024, 0),
    "fade_bas": (0, H - 768), "BottomButtonsContainer": (0, H - 768),
    # The character's offset at rest: (H - 768) - scroll inside the play field moved by scroll.
    "perso": (0, H - 768),
})

CLICK = 0x10000  # the play screen plays "click" on a press of a sprite with this flag

# ---------------------------------------------------------------- brushes

empty("none")
picture("sky_backdrop")
picture("nuages_tile", mode="tile")
picture("nuage", pictures=["nuage_1", "nuage_2", "nuage_3"])
picture("haricot", mode="tile")
for name in ("feuille_g", "feuille_d", "perso", "persohud", "hud_coin", "coeur", "piece",
             "coffre", "pierre", "piquants", "tap_circle", "fade_bas", "title_logo",
             "btn_jukebox", "btn_web", "btn_scores", "icon_best", "btn_close", "btn_share",
             "btn_continue", "btn_prev", "btn_next", "popup_ribbon", "gameover_title",
             "jukebox_bg", "jukebox_cover"):
    picture(name)
picture("volume", pictures=["btn_volume_on", "btn_volume_off"])
picture("hud_plate", mode="stretched")
picture("message_plate", mode="stretched")
picture("popup_panel", mode="stretched")
picture("blanket", mode="stretched")
ROWS = [("a", [147, 237, 327, 417], 377), ("b", [77, 159, 241, 323, 405, 487], 477),
        ("c", [77, 159, 241, 323, 405, 487], 577)]
for row, xs, _ in ROWS:
    for i in range(1, len(xs) + 1):
        picture("jukebox_%s%d" % (row, i))
        picture("jukebox_%s%dx" % (row, i))

font("font_big", "lettering", 52, fill="FFF8E6", outline=4, outline_color="4A2A10")
font("font_hud", "lettering", 40, fill="FFFFFF", outline=3, outline_color="3B2410")
font("font_dark", "lettering", 34, fill="4A2A10")
font("font_screen", "lettering", 30, fill="C8F7FF")

emitter("hearts_burst", "particle_heart", 10, period=60, shape=0, radius=(0, 0, 10, 10),
        blend=(1, 1, 0.9, 0.5, 0), agestep=(0.018, 0.03), velocitymin=(-3.5, -4.5),
        velocitymax=(3.5, 1.0), accel=(0, 0.08), angle=(-0.4, 0.4), anglespeed=(-0.05, 0.05),
        scale=(0.6, 1.1), scalespeed=(-0.004, 0.002))
emitter("coins_burst", "particle_sparkle", 12, period=50, shape=0, radius=(0, 0, 14, 14),
        blend=(1, 1, 1, 0.6, 0), agestep=(0.025, 0.04), velocitymin=(-4, -4),
        velocitymax=(4, 4), angle=(0, 6.28), anglespeed=(-0.2, 0.2), scale=(0.5, 1.0),
        scalespeed=(-0.01, -0.004))

# ---------------------------------------------------------------- the handler and the sky

HIDDEN, SHOWN = dict(alpha=0, clickable=False), dict(alpha=1)


def show_hide(time=250, action=None):
    """Keys 0 (hidden) and 1 (shown): the play screen plays (0, 1) to show, (1, 0) to hide."""
    return [key(0, action=action, **HIDDEN), key(time, **SHOWN)]


sprite("container", "none", rect=SCENE_RECT, at=(512, 384), passthrough=True,
       displayhandler="display_gamescreen")
sprite("sky", "sky_backdrop", parent="container", at=(384, 512), passthrough=True)
sprite("nuages_tile", "nuages_tile", parent="container", rect=(0, 0, 1024, 768 + 512),
       at=(512, 384), passthrough=True, keys=[key(alpha=0.55)])
# Clouds: the play screen copies this under the name "_Cloud" and plays one of keys 0 to 2.
sprite("nuage", "nuage", parent="container", at=(W + 200, 200), noautoplay=True,
       passthrough=True, keys=[key(0, frame=0), key(100, frame=1), key(200, frame=2)])

# ---------------------------------------------------------------- the play field

sprite("Playfield", "none", parent="container", rect=(-128, 0, 896, 768), at=(384, 384),
       passthrough=True)
# The beanstalk: a tile the play screen moves by whole periods, so it seems to climb forever.
sprite("haricot", "haricot", parent="Playfield", rect=(527 - 80 - 128, 0, 527 + 80 - 128, 2048),
       at=(399, 1024), passthrough=True)
# Leaves drift in from the top; the play screen copies them under the name "_Leaf".
sprite("feuille_g", "feuille_g", parent="Playfield", at=(392 - 128, -80), noautoplay=True,
       passthrough=True)
sprite("feuille_d", "feuille_d", parent="Playfield", at=(662 - 128, -80), noautoplay=True,
       passthrough=True)
# Drop templates, kinds 0 to 4; copies play from key 0 on and sway as they fall.
for name, sway in (("coeur", 0.06), ("piece", 0.0), ("coffre", 0.0), ("pierre", 0.0),
                   ("piquants", 0.0)):
    turn = 8 if name in ("pierre", "piquants") else 0
    grow = 1 + sway
    sprite(name, name, parent="Playfield", at=(384, -80), noautoplay=True, passthrough=True,
           loop=True, keys=[key(0, angle=-turn), key(400, scale=grow),
                            key(800, angle=turn), key(1200, scale=grow), key(1600, angle=-turn)])
sprite("perso", "perso", parent="Playfield", at=(382, 680), passthrough=True,
       keys=[key(0), key(1000)])
sprite("HeartHitParticles", "hearts_burst", parent="Playfield", at=(384, 300), noautoplay=True,
       passthrough=True, keys=[key(0), key(240, emit=False)])
sprite("CoinHitParticles", "coins_burst", parent="Playfield", at=(384, 300), noautoplay=True,
       passthrough=True, keys=[key(0), key(200, emit=False)])

# Where the player taps: a ring that grows and fades; copies are deleted when it ends.
sprite("tap_circle", "tap_circle", parent="container", at=(384, 512), noautoplay=True,
       passthrough=True, keys=[key(0, scale=0.35, alpha=0.9), key(380, scale=1.25, alpha=0)])
sprite("fade_bas", "fade_bas", parent="container", at=(384, 1024), passthrough=True)

# ---------------------------------------------------------------- HUD

sprite("HUD", "none", parent="container", rect=SCENE_RECT, at=(512, 384), passthrough=True)
sprite("", "hud_plate", parent="HUD", rect=(12, 16, 300, 84), at=(156, 50), passthrough=True,
       keys=[key(alpha=0.85)])
sprite("", "hud_coin", parent="HUD", at=(48, 50), passthrough=True)
sprite("Coins", "font_hud", parent="HUD", rect=(82, 20, 296, 80), at=(189, 50), id=0x200,
       align="left", passthrough=True, text="0 record")
sprite("persohud", "persohud", parent="HUD", at=(722, 50), passthrough=True)
sprite("Meters", "font_hud", parent="HUD", rect=(396, 20, 684, 80), at=(540, 50), id=0x201,
       align="right", passthrough=True, text="0 meters")
# Key 0 sound on, key 1 muted: the play screen plays the one the settings say.
sprite("VolumeToggle", "volume", parent="container", at=(384, 50), flags=CLICK, noautoplay=True,
       events={"down": broadcast("volumetoggle_down")},
       keys=[key(0, frame=0, scale=0.8), key(100, frame=1, scale=0.8)])

# ---------------------------------------------------------------- start screen

sprite("StartMessage", "none", parent="container", rect=(-128, 128, 896, 896), at=(384, 512),
       noautoplay=True, passthrough=True,
       # Key 0 is reached when the message goes at the start of a game: the start screen's
       # buttons go with it.
       keys=show_hide(300, action=broadcast("startmessage_out")))
sprite("", "title_logo", parent="StartMessage", at=(384, 300), passthrough=True,
       keys=[key(0), key(1400, dy=-10), key(2800)], loop=True)
sprite("", "message_plate", parent="StartMessage", rect=(144, 500, 624, 620), at=(384, 560),
       passthrough=True)
sprite("StartMessageText", "font_big", parent="StartMessage", rect=(150, 508, 618, 612),
       at=(384, 560), id=0x202, passthrough=True, text="Tap to climb!",
       keys=[key(0), key(600, scale=1.06), key(1200)], loop=True)

sprite("JukeButtonContainer", "none", parent="container", rect=(0, 28, 1024, 796),
       at=(384, 412), noautoplay=True, passthrough=True, keys=show_hide(300),
       listen={"startmessage_out": go_to_key("-2,1")})
sprite("jukeButton", "btn_jukebox", parent="JukeButtonContainer", at=(610, 740), flags=CLICK,
       events={"up": broadcast("showjukebox_up")})
sprite("JukeButtonText", "font_hud", parent="JukeButtonContainer", rect=(500, 800, 720, 848),
       at=(610, 824), id=0x203, passthrough=True, text="Jukebox")

# Its rectangle is the row of buttons: a tap inside it does not start the game.
sprite("BottomButtonsContainer", "none", parent="container", rect=(0, 884, 768, 1010),
       at=(384, 947), noautoplay=True, passthrough=True, keys=show_hide(300),
       listen={"startmessage_out": go_to_key("-2,1")})
sprite("WebButton", "btn_web", parent="BottomButtonsContainer", at=(84, 944), flags=CLICK,
       events={"up": broadcast("splash_website")})
sprite("AchievementsButton", "icon_best", parent="BottomButtonsContainer", at=(384, 944),
       flags=CLICK, events={"up": broadcast("show_achievements_up")}, keys=[key(scale=1.5)])
sprite("ScoresButton", "btn_scores", parent="BottomButtonsContainer", at=(684, 944),
       flags=CLICK, events={"up": broadcast("show_scores_up")})

sprite("PausedMessage", "none", parent="container", rect=(-128, 128, 896, 896), at=(384, 512),
       noautoplay=True, passthrough=True, keys=show_hide(200))
sprite("", "message_plate", parent="PausedMessage", rect=(144, 452, 624, 572), at=(384, 512),
       passthrough=True)
sprite("PausedMessageText", "font_big", parent="PausedMessage", rect=(150, 460, 618, 564),
       at=(384, 512), id=0x204, passthrough=True, text="Paused - tap to go on")

# ---------------------------------------------------------------- game over

sprite("PopupBlanket", "blanket", parent="container", rect=SCENE_RECT, at=(512, 384),
       noautoplay=True, keys=show_hide(250), events={"up": broadcast("popup_blanket_up")})
sprite("GameOverPopup", "popup_panel", parent="container", rect=(84, 232, 684, 792),
       at=(384, 512), noautoplay=True, passthrough=True,
       keys=[key(0, scale=0.4, **HIDDEN), key(220, scale=1.06), key(320)])
sprite("", "popup_ribbon", parent="GameOverPopup", at=(384, 262), passthrough=True)
sprite("", "gameover_title", parent="GameOverPopup", at=(384, 254), passthrough=True,
       keys=[key(scale=0.9)])
sprite("GameOverClose", "btn_close", parent="GameOverPopup", at=(648, 282), flags=CLICK,
       events={"up": broadcast("gameover_close_up")})
sprite("", "icon_best", parent="GameOverPopup", at=(384, 350), passthrough=True)
sprite("GameOverStats", "font_dark", parent="GameOverPopup", rect=(134, 376, 634, 540),
       at=(384, 458), id=0x9584E906, passthrough=True, vspacing=4,
       text="Distance: %s meters\nBest: %s meters")
sprite("ContinueButton", "btn_continue", parent="GameOverPopup", at=(384, 610), flags=CLICK,
       events={"up": broadcast("gameover_continue_up")})
sprite("ContinueButtonText", "font_dark", parent="ContinueButton", rect=(306, 566, 550, 654),
       at=(428, 610), id=0x1DB12AE4, passthrough=True, text="Continue\n100 coins")
sprite("ShareButton", "btn_share", parent="GameOverPopup", at=(384, 724), flags=CLICK,
       events={"up": broadcast("gameover_share_up")})
sprite("ShareButtonText", "font_dark", parent="ShareButton", rect=(348, 686, 500, 762),
       at=(424, 724), id=0x205, passthrough=True, text="Like me")

# ---------------------------------------------------------------- purchase (no caller here)

sprite("PurchaseBlanket", "blanket", parent="container", rect=SCENE_RECT, at=(512, 384),
       noautoplay=True, keys=show_hide(250), events={"up": broadcast("purchase_cancelled")})
sprite("PurchaseMessage", "none", parent="container", rect=(-128, 128, 896, 896),
       at=(384, 512), noautoplay=True, passthrough=True, keys=show_hide(250))
sprite("", "message_plate", parent="PurchaseMessage", rect=(144, 452, 624, 572), at=(384, 512),
       passthrough=True)
sprite("PurchaseMessageText", "font_big", parent="PurchaseMessage", rect=(150, 460, 618, 564),
       at=(384, 512), id=0x206, passthrough=True, text="One moment...")

# ---------------------------------------------------------------- jukebox

# A press on the blanket closes the jukebox; the backdrop above it lets presses through.
sprite("JukeboxBlanket", "blanket", parent="container", rect=SCENE_RECT, at=(512, 384),
       noautoplay=True, keys=show_hide(250))
sprite("jukebox_bg", "jukebox_bg", parent="container", at=(384, 512), noautoplay=True,
       passthrough=True, keys=show_hide(250))
COVER = (384 - 320, 512 - 450)  # top-left corner of the cover in the window
sprite("JukeboxCover", "jukebox_cover", parent="container", at=(384, 512), noautoplay=True,
       keys=[key(0, dy=1000, **HIDDEN), key(300, dy=-24), key(420)])
sprite("jukebox_text1", "font_screen", parent="JukeboxCover",
       rect=(COVER[0] + 104, COVER[1] + 200, COVER[0] + 536, COVER[1] + 260),
       at=(384, COVER[1] + 230), id=0x207, passthrough=True, text="")
sprite("jukebox_text2", "font_screen", parent="JukeboxCover",
       rect=(COVER[0] + 104, COVER[1] + 260, COVER[0] + 536, COVER[1] + 320),
       at=(384, COVER[1] + 290), id=0x208, passthrough=True, text="Choose a song")
for row, xs, y in ROWS:
    for i, x in enumerate(xs, 1):
        at = (COVER[0] + x + 38, COVER[1] + y + 35)
        sprite("jukebox_%s%d" % (row, i), "jukebox_%s%d" % (row, i), parent="JukeboxCover",
               at=at, flags=CLICK)
        sprite("jukebox_%s%dx" % (row, i), "jukebox_%s%dx" % (row, i), parent="JukeboxCover",
               at=at, passthrough=True)
sprite("JukeboxPrev", "btn_prev", parent="JukeboxCover", at=(COVER[0] + 200, COVER[1] + 770),
       flags=CLICK, events={"up": broadcast("jukebox_prev_up")})
sprite("JukeboxNext", "btn_next", parent="JukeboxCover", at=(COVER[0] + 440, COVER[1] + 770),
       flags=CLICK, events={"up": broadcast("jukebox_next_up")})

# The phone layout borrows this sprite's font; it never shows.
sprite("Gabriola60", "font_hud", parent="container", rect=(0, 0, 200, 60), at=(100, 30),
       id=0x209, noautoplay=True, passthrough=True, text="")
