// A cell outside the grid stops the script with its line, 17 helper lines further on.
studio.click(PLC + SEP + "Line1.Motor1");
studio.grid("tdbI").setCell(7, "Comment", "x");
