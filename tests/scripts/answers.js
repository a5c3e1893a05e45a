// Messages are recorded with their buttons; queued answers are taken in order.
studio.click("OPCE0");
studio.answer("OK");
studio.tool("mnuOptionReport");   // the report program is not installed here
var messages = studio.messages();
equal(messages.length, 1, "one message");
check(messages[0].text.indexOf("OVProjectReport.Connect") >= 0, "it names the missing component");
equal(messages[0].buttons, ["OK"], "with an OK button");
studio.tool("mnuOptionStatistik");
check(studio.status()[3].indexOf("23") > 0, "the statistic counts the items");
print("answers ok");
