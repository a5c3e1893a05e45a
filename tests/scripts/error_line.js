// An error in a script stops it with its line.
studio.create(args[0], {demo: true});
studio.click("OPCE0");
studio.tool("mnuNoSuchTool");
