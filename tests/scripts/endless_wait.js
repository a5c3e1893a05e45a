// A wait longer than the script may run ends with the script.
studio.wait(600000);
print("the wait outlived the time given");
