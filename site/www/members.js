// Fits a picture into a box of width by height once it has loaded.
function DrawImage(img, width, height) {
  var w = img.naturalWidth || img.width, h = img.naturalHeight || img.height;
  if (!w || !h) return;
  var r = Math.min(width / w, height / h, 1);
  img.width = Math.round(w * r);
  img.height = Math.round(h * r);
}
