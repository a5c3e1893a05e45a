// CSV export and import through the automation API: the whole project to a
// file and back, the file dialogs answered by the script; then the group
// wizard on the rows of a folder.
studio.click(PLC + SEP + "Line1.Motor1");
var file = args[0] + ".csv";
studio.onForm("FExportToCSV", function (f) {
    f.check("optSelItems", true, 2);
    f.ok();
});
studio.answerFile(file);
check(studio.tool("mnuOptionExport"), "export");
studio.onForm("FImportFromCSV", function (f) {
    check(f.caption.indexOf(file) > 0, "the caption names the file");
    f.check("optSelItems", true, 2);
    f.ok();
});
studio.answerFile(file);
check(studio.tool("mnuOptionImport"), "import");
equal(studio.messages().length, 0, "every line taken");
equal(first("SELECT Count(*) FROM TpdbItems"), 23, "updated, nothing new");
print("csv ok");
