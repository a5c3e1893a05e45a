// Tool states for two authorization levels.
studio.click(PLC + SEP + "Line1.Motor1");
equal(studio.toolState("mnuItemNew"), {visible: true, enabled: true}, "everything is allowed by default");
studio.setAuthorizationLevel(4, true);
studio.click(PLC + SEP + "Line1.Motor1");
studio.grid("tdbI").select([0]);
equal(studio.toolState("mnuItemNew").enabled, true, "level 4 may create");
equal(studio.toolState("mnuItemDelete"), {visible: true, enabled: false}, "level 4 may not delete");
studio.setAuthorizationLevel(2, true);
equal(studio.toolState("mnuItemEdit").enabled, false, "level 2 may not edit");
equal(studio.tool("mnuItemNew"), false, "a disabled tool does not run");
equal(studio.grid("tdbI").setCell(0, "Comment", "x"), false, "without the edit right cells are locked");
studio.setAuthorizationLevel(5, false);
print("rights ok");
