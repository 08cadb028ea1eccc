// Shows which page of the host is open and when it was loaded.
"use strict";

document.addEventListener("DOMContentLoaded", function () {
  var status = document.getElementById("status");
  if (!status) {
    return;
  }
  var kinds = document.querySelectorAll(".kinds li").length;
  status.textContent = "VeloraPDF @VLPDF_VERSION@ opens " + kinds + " kinds of documents. Page loaded " +
    new Date().toLocaleTimeString() + ".";
});
