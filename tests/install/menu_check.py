"""Where a desktop's application menu shows the installed entry.

Builds the menu from a freedesktop menu file with the installed tree first on
XDG_DATA_DIRS, as a desktop does, and prints the submenu, name and icon file
of kelvane.desktop. Exits 1 when the menu does not show it or its icon does
not resolve to an installed file.
"""
import os
import sys

share, menu_file = sys.argv[1], sys.argv[2]
os.environ["XDG_DATA_DIRS"] = share + ":/usr/share"
import xdg.IconTheme  # noqa: E402  (reads XDG_DATA_DIRS when imported)
import xdg.Menu  # noqa: E402


def entries(menu, path):
    for entry in menu.getEntries():
        if isinstance(entry, xdg.Menu.Menu):
            yield from entries(entry, path + [entry.getName()])
        elif isinstance(entry, xdg.Menu.MenuEntry) and entry.DesktopFileID == "kelvane.desktop":
            yield path, entry


found = list(entries(xdg.Menu.parse(menu_file), []))
if not found:
    print("kelvane.desktop is in no submenu of " + menu_file)
    sys.exit(1)
ok = True
for path, entry in found:
    desktop = entry.DesktopEntry
    icon = xdg.IconTheme.getIconPath(desktop.getIcon(), 48, "hicolor") or ""
    print("menu: %s | name: %s | icon: %s" % (" > ".join(path), desktop.getName(), icon))
    if not icon.startswith(share + "/icons/"):
        print("the icon is not the installed one")
        ok = False
sys.exit(0 if ok else 1)
