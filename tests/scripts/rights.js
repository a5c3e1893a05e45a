// Tool states and grid edits follow the authorization level set by a script;
// which level allows what is the editor's own part.
studio.click(PLC + SEP + "Line1.Motor1");
studio.grid("tdbI").select([0]);
equal(studio.toolState("mnuItemEdit"), {visible: true, enabled: true}, "everything is allowed by default");
studio.setAuthorizationLevel(2, true);
equal(studio.toolState("mnuItemEdit").enabled, false, "level 2 may not edit");
equal(studio.tool("mnuItemNew"), false, "a disabled tool does not run");
equal(studio.grid("tdbI").setCell(0, "Comment", "x"), false, "without the edit right cells are locked");
studio.setAuthorizationLevel(5, false);
print("rights ok");
