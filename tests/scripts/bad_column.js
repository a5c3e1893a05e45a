studio.click(PLC + SEP + "Line1.Motor1");
studio.grid("tdbI").setCell(7, "Comment", "x");
